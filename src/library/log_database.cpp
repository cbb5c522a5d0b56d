#include "library/log_database.h"

#include <QStringList>

#include <algorithm>

namespace trevalo {
namespace {

constexpr char16_t kQuote = u'"';

// The UTF-16 units of the file; a last odd byte is no unit.
std::u16string_view Units(const QByteArray& bytes, std::u16string& storage) {
  storage.resize(static_cast<std::size_t>(bytes.size() / 2));
  for (std::size_t i = 0; i < storage.size(); ++i) {
    storage[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return storage;
}

// "%d": leading blanks, a sign and digits; 0 when nothing fits.
int Number(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i].unicode() - u'0'), 2147483648LL);
  }
  value = negative ? -value : value;
  return static_cast<int>(std::clamp<long long>(value, -2147483647LL - 1, 2147483647LL));
}

}  // namespace

DatabaseFormat DetectDatabaseFormat(const QByteArray& bytes) {
  // The first line, up to and including the bytes 0A 00; its quote bytes, BOM included.
  qsizetype end = -1;
  for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == '\n' && bytes[i + 1] == '\0' && i % 2 == 0) {
      end = i + 2;
      break;
    }
  }
  if (end < 0) {
    return DatabaseFormat::kCurrent;
  }
  const qsizetype quotes = bytes.left(end).count('"');
  return quotes == 6 ? DatabaseFormat::kOlder : DatabaseFormat::kCurrent;
}

std::vector<LogRecord> ParseDatabase(const QByteArray& bytes, DatabaseFormat format) {
  std::u16string storage;
  const std::u16string_view units = Units(bytes, storage);
  const int wanted = format == DatabaseFormat::kCurrent ? 10 : 6;
  std::vector<LogRecord> records;
  std::size_t lineStart = 0;
  while (lineStart < units.size()) {
    const std::size_t lineFeed = units.find(u'\n', lineStart);
    if (lineFeed == std::u16string_view::npos) {
      break;  // a last line without its line feed is no record
    }
    const std::u16string_view line = units.substr(lineStart, lineFeed + 1 - lineStart);
    lineStart = lineFeed + 1;
    if (line.size() > kMaxReadLineLength) {
      continue;
    }
    QStringList fields;
    int quotes = 0;
    std::size_t fieldStart = 0;
    for (std::size_t i = 0; i < line.size() && quotes < wanted; ++i) {
      if (line[i] != kQuote) {
        continue;
      }
      ++quotes;
      if (quotes % 2 == 1) {
        fieldStart = i + 1;
      } else {
        // Verbatim: a field may itself begin with U+FEFF, which fromUtf16 would drop.
        fields << QString(reinterpret_cast<const QChar*>(line.data() + fieldStart),
                          static_cast<qsizetype>(i - fieldStart));
      }
    }
    if (quotes < wanted) {
      continue;
    }
    LogRecord record;
    record.filePath = fields[0];
    if (format == DatabaseFormat::kCurrent) {
      record.colorIndex = Number(fields[1]);
      record.lineWidthIndex = Number(fields[2]);
      record.comment = fields[3];
      record.timeZone = Number(fields[4]);
    } else {
      record.comment = fields[1];
      record.timeZone = Number(fields[2]);
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::optional<QByteArray> SerializeDatabase(const std::vector<LogRecord>& records,
                                            QString* problem) {
  QString text;
  text += QChar(0xFEFF);
  for (const LogRecord& record : records) {
    const QString fields[] = {record.filePath, QString::number(std::max(record.colorIndex, 0)),
                              QString::number(std::max(record.lineWidthIndex, 0)), record.comment,
                              QString::number(record.timeZone)};
    QString line;
    for (int i = 0; i < 5; ++i) {
      const QString& field = fields[i];
      const qsizetype limit = i == 0 ? kMaxPathLength : kMaxFieldLength;
      if (field.contains(kQuote) || field.contains(u'\n') || field.size() > limit) {
        if (problem != nullptr) {
          *problem = field.size() > limit
                         ? QStringLiteral("%1: the %2 is longer than %3 characters")
                               .arg(record.filePath,
                                    i == 0 ? QStringLiteral("path") : QStringLiteral("comment"))
                               .arg(limit)
                         : QStringLiteral("%1: a double quote or line break cannot be stored")
                               .arg(record.filePath);
        }
        return std::nullopt;
      }
      line += (i == 0 ? QStringLiteral("\"") : QStringLiteral(",\"")) + field + kQuote;
    }
    line += QStringLiteral("\r\n");
    if (line.size() > kMaxLineLength) {
      if (problem != nullptr) {
        *problem = QStringLiteral("%1: the record is longer than %2 characters")
                       .arg(record.filePath)
                       .arg(kMaxLineLength);
      }
      return std::nullopt;
    }
    text += line;
  }
  QByteArray bytes(text.size() * 2, Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i].unicode() & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i].unicode() >> 8);
  }
  return bytes;
}

}  // namespace trevalo
