#include "library/log_database.h"

#include <algorithm>
#include <string>
#include <string_view>

#include <QStringDecoder>

namespace trevalo {
namespace {

constexpr char16_t kQuote = u'"';

// One line of the file as text, without its line feed.
struct TextLine {
  std::u16string text;
  bool ended = true;         // a line feed follows it
  bool undecodable = false;  // its bytes are not text in the file's encoding
};

enum class Encoding { kUtf16Le, kUtf16Be, kUtf8 };

// The encoding of the file: its byte-order mark, else where its zero bytes are (ASCII
// text in UTF-16 has one in every other byte), else UTF-8.
Encoding DetectEncoding(const QByteArray& bytes, qsizetype& textStart, QStringList& problems) {
  textStart = 0;
  if (bytes.startsWith("\xFF\xFE")) {
    textStart = 2;
    return Encoding::kUtf16Le;
  }
  if (bytes.startsWith("\xFE\xFF")) {
    textStart = 2;
    problems << QStringLiteral("the file is UTF-16 text in big-endian byte order");
    return Encoding::kUtf16Be;
  }
  if (bytes.startsWith("\xEF\xBB\xBF")) {
    textStart = 3;
    problems << QStringLiteral("the file is UTF-8 text, not UTF-16");
    return Encoding::kUtf8;
  }
  if (bytes.isEmpty()) {
    return Encoding::kUtf16Le;
  }
  const qsizetype sample = std::min<qsizetype>(bytes.size(), 4096);
  qsizetype zerosEven = 0;
  qsizetype zerosOdd = 0;
  for (qsizetype i = 0; i < sample; ++i) {
    if (bytes[i] == '\0') {
      ++(i % 2 == 0 ? zerosEven : zerosOdd);
    }
  }
  if (zerosOdd > sample / 8 && zerosOdd > 2 * zerosEven) {
    problems << QStringLiteral("the file has no byte-order mark");
    return Encoding::kUtf16Le;
  }
  if (zerosEven > sample / 8 && zerosEven > 2 * zerosOdd) {
    problems << QStringLiteral("the file is UTF-16 text in big-endian byte order");
    return Encoding::kUtf16Be;
  }
  problems << QStringLiteral("the file is UTF-8 text, not UTF-16");
  return Encoding::kUtf8;
}

void SplitLines(std::u16string_view units, std::vector<TextLine>& lines) {
  std::size_t start = 0;
  while (start < units.size()) {
    const std::size_t lineFeed = units.find(u'\n', start);
    if (lineFeed == std::u16string_view::npos) {
      lines.push_back({std::u16string(units.substr(start)), false, false});
      return;
    }
    lines.push_back({std::u16string(units.substr(start, lineFeed - start)), true, false});
    start = lineFeed + 1;
  }
}

std::vector<TextLine> DecodeLines(const QByteArray& bytes, QStringList& problems) {
  qsizetype start = 0;
  const Encoding encoding = DetectEncoding(bytes, start, problems);
  std::vector<TextLine> lines;
  if (encoding == Encoding::kUtf8) {
    while (start < bytes.size()) {
      qsizetype lineFeed = bytes.indexOf('\n', start);
      const bool ended = lineFeed >= 0;
      if (!ended) {
        lineFeed = bytes.size();
      }
      QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
      const QString text = decoder.decode(QByteArrayView(bytes).sliced(start, lineFeed - start));
      lines.push_back({text.toStdU16String(), ended, decoder.hasError()});
      start = lineFeed + 1;
    }
    return lines;
  }
  const qsizetype unitCount = (bytes.size() - start) / 2;
  std::u16string units(static_cast<std::size_t>(unitCount), u'\0');
  const int low = encoding == Encoding::kUtf16Le ? 0 : 1;
  for (qsizetype i = 0; i < unitCount; ++i) {
    const qsizetype at = start + 2 * i;
    units[static_cast<std::size_t>(i)] =
        static_cast<char16_t>(static_cast<unsigned char>(bytes[at + low]) |
                              static_cast<unsigned char>(bytes[at + 1 - low]) << 8);
  }
  SplitLines(units, lines);
  if ((bytes.size() - start) % 2 != 0) {
    problems << QStringLiteral("the file ends in half a character");
  }
  return lines;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r';
}

// "%d": leading blanks, a sign and digits; 0 when nothing fits. `exact` tells whether the
// field is that and nothing else.
int Number(const QString& text, bool& exact) {
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  const qsizetype digitsStart = i;
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i].unicode() - u'0'), 2147483648LL);
  }
  value = negative ? -value : value;
  const long long clamped = std::clamp<long long>(value, -2147483647LL - 1, 2147483647LL);
  exact = i > digitsStart && i == text.size() && clamped == value;
  return static_cast<int>(clamped);
}

int QuoteCount(std::u16string_view line) {
  return static_cast<int>(std::count(line.begin(), line.end(), kQuote));
}

// The record of one line, or why it is none. `notes` receives what was read though not
// understood (a number field that is no number).
std::optional<LogRecord> ParseLine(std::u16string_view line, DatabaseFormat format,
                                   QString& problem, QStringList& notes) {
  const int wanted = format == DatabaseFormat::kCurrent ? 10 : 6;
  std::vector<std::size_t> quotes;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == kQuote) {
      quotes.push_back(i);
    }
  }
  if (static_cast<int>(quotes.size()) != wanted) {
    problem = QStringLiteral("not a record (%1 quote characters where %2 belong)")
                  .arg(quotes.size())
                  .arg(wanted);
    return std::nullopt;
  }
  // Between the fields only a comma; around them nothing but blanks.
  const auto onlyBlanks = [&](std::size_t from, std::size_t to, bool comma) {
    int commas = 0;
    for (std::size_t i = from; i < to; ++i) {
      if (line[i] == u',') {
        ++commas;
      } else if (!IsBlank(line[i])) {
        return false;
      }
    }
    return commas == (comma ? 1 : 0);
  };
  bool tidy =
      onlyBlanks(0, quotes.front(), false) && onlyBlanks(quotes.back() + 1, line.size(), false);
  QStringList fields;
  for (std::size_t k = 0; k < quotes.size(); k += 2) {
    // Verbatim: a field may itself begin with U+FEFF, which fromUtf16 would drop.
    fields << QString(reinterpret_cast<const QChar*>(line.data() + quotes[k] + 1),
                      static_cast<qsizetype>(quotes[k + 1] - quotes[k] - 1));
    if (k + 2 < quotes.size()) {
      tidy = tidy && onlyBlanks(quotes[k + 1] + 1, quotes[k + 2], true);
    }
  }
  if (!tidy) {
    problem = QStringLiteral("not a record (text outside its quoted fields)");
    return std::nullopt;
  }
  const auto number = [&](const QString& field, const char* what) {
    bool exact = false;
    const int value = Number(field, exact);
    if (!exact) {
      notes << QStringLiteral("the %1 \"%2\" is not a number; read as %3")
                   .arg(QLatin1String(what), field.left(40))
                   .arg(value);
    }
    return value;
  };
  LogRecord record;
  record.filePath = fields[0];
  if (format == DatabaseFormat::kCurrent) {
    record.colorIndex = number(fields[1], "colour");
    record.lineWidthIndex = number(fields[2], "line width");
    record.comment = fields[3];
    record.timeZone = number(fields[4], "time zone");
  } else {
    record.comment = fields[1];
    record.timeZone = number(fields[2], "time zone");
  }
  if (const QString unstorable = RecordProblem(record); !unstorable.isEmpty()) {
    problem = QStringLiteral("cannot be kept: %1").arg(unstorable);
    return std::nullopt;
  }
  return record;
}

DatabaseFormat FormatOfLines(const std::vector<TextLine>& lines) {
  // Six quotes in a whole first line mean the older format, unless a later line is a
  // record of the current one (then the first line is a damaged one of those).
  if (lines.empty() || !lines.front().ended || QuoteCount(lines.front().text) != 6) {
    return DatabaseFormat::kCurrent;
  }
  const bool anyCurrent = std::any_of(lines.begin(), lines.end(), [](const TextLine& line) {
    return line.ended && QuoteCount(line.text) == 10;
  });
  return anyCurrent ? DatabaseFormat::kCurrent : DatabaseFormat::kOlder;
}

ParsedDatabase ParseLines(const std::vector<TextLine>& lines, DatabaseFormat format,
                          QStringList problems) {
  ParsedDatabase parsed;
  parsed.format = format;
  parsed.problems = std::move(problems);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const TextLine& line = lines[n];
    std::u16string_view text = line.text;
    if (std::all_of(text.begin(), text.end(), IsBlank)) {
      continue;
    }
    const QString where = QStringLiteral("line %1: ").arg(n + 1);
    if (line.undecodable) {
      parsed.problems << where + QStringLiteral("not UTF-8 text");
      continue;
    }
    if (!line.ended) {
      parsed.problems << where + QStringLiteral("cut off (no line end)");
      continue;
    }
    QString problem;
    QStringList notes;
    std::optional<LogRecord> record = ParseLine(text, format, problem, notes);
    for (const QString& note : notes) {
      parsed.problems << where + note;
    }
    if (!record) {
      parsed.problems << where + problem;
      continue;
    }
    parsed.records.push_back(std::move(*record));
  }
  return parsed;
}

}  // namespace

ParsedDatabase ReadDatabase(const QByteArray& bytes) {
  QStringList problems;
  const std::vector<TextLine> lines = DecodeLines(bytes, problems);
  return ParseLines(lines, FormatOfLines(lines), std::move(problems));
}

ParsedDatabase ParseDatabase(const QByteArray& bytes, DatabaseFormat format) {
  QStringList problems;
  const std::vector<TextLine> lines = DecodeLines(bytes, problems);
  return ParseLines(lines, format, std::move(problems));
}

DatabaseFormat DetectDatabaseFormat(const QByteArray& bytes) {
  QStringList problems;
  return FormatOfLines(DecodeLines(bytes, problems));
}

namespace {

// The five fields as the writer stores them.
std::array<QString, 5> StoredFields(const LogRecord& record) {
  return {record.filePath, QString::number(std::max(record.colorIndex, 0)),
          QString::number(std::max(record.lineWidthIndex, 0)), record.comment,
          QString::number(record.timeZone)};
}

}  // namespace

QString RecordProblem(const LogRecord& record) {
  const std::array<QString, 5> fields = StoredFields(record);
  qsizetype lineLength = 10 + 4 + 2;  // quotes, commas, CR LF
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const QString& field = fields[i];
    const QString what = i == 0 ? QStringLiteral("path") : QStringLiteral("comment");
    if (field.contains(kQuote)) {
      return QStringLiteral("its %1 holds a double quote").arg(what);
    }
    if (field.contains(u'\n')) {
      return QStringLiteral("its %1 holds a line break").arg(what);
    }
    const qsizetype limit = i == 0 ? kMaxPathLength : kMaxFieldLength;
    if (field.size() > limit) {
      return QStringLiteral("its %1 is longer than %2 characters").arg(what).arg(limit);
    }
    lineLength += field.size();
  }
  if (lineLength > kMaxLineLength) {
    return QStringLiteral(
               "its path and comment together are longer than a record may be "
               "(%1 characters)")
        .arg(kMaxLineLength);
  }
  return {};
}

std::optional<QByteArray> SerializeDatabase(const std::vector<LogRecord>& records,
                                            QString* problem) {
  QString text;
  text += QChar(0xFEFF);
  for (const LogRecord& record : records) {
    if (const QString unstorable = RecordProblem(record); !unstorable.isEmpty()) {
      if (problem != nullptr) {
        *problem = QStringLiteral("%1: %2").arg(record.filePath, unstorable);
      }
      return std::nullopt;
    }
    const std::array<QString, 5> fields = StoredFields(record);
    for (std::size_t i = 0; i < fields.size(); ++i) {
      text += (i == 0 ? QStringLiteral("\"") : QStringLiteral(",\"")) + fields[i] + kQuote;
    }
    text += QStringLiteral("\r\n");
  }
  QByteArray bytes(text.size() * 2, Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i].unicode() & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i].unicode() >> 8);
  }
  return bytes;
}

}  // namespace trevalo
