#include <gtest/gtest.h>

#include "library/log_database.h"

namespace trevalo {
namespace {

QByteArray Utf16(const QString& text) {
  QByteArray bytes;
  for (const QChar c : text) {
    bytes.append(static_cast<char>(c.unicode() & 0xFF)).append(static_cast<char>(c.unicode() >> 8));
  }
  return bytes;
}

TEST(LogDatabase, WritesTheFiveFieldFormat) {
  QString problem;
  const std::optional<QByteArray> bytes =
      SerializeDatabase({{QStringLiteral("/logs/a.log"), 2, 1, QStringLiteral("walk"), 900},
                         {QStringLiteral("/logs/b.log"), -3, -1, QString(), -330}},
                        &problem);
  ASSERT_TRUE(bytes.has_value()) << problem.toStdString();
  EXPECT_EQ(*bytes, QByteArray("\xFF\xFE", 2) +
                        Utf16(QStringLiteral("\"/logs/a.log\",\"2\",\"1\",\"walk\",\"900\"\r\n"
                                             "\"/logs/b.log\",\"0\",\"0\",\"\",\"-330\"\r\n")));
  EXPECT_EQ(*SerializeDatabase({}, nullptr), QByteArray("\xFF\xFE", 2));
}

TEST(LogDatabase, RoundTripsNonAsciiPathsAndComments) {
  const std::vector<LogRecord> records = {
      {QStringLiteral("/home/지은/로그/0517.log"), 5, 3, QStringLiteral("한강 산책, 맑음 ☀"), 900},
      {QStringLiteral("/mnt/Ünïcödé/x,y.log"), 14, 5, QStringLiteral("it's fine"), -1200},
      {QStringLiteral("/a.log"), 0, 0, QString(), 545},
      // Byte order marks inside fields are characters like any other.
      {QString(QChar(0xFEFF)) + QStringLiteral("/b.log"), 0, 0, QString(QChar(0xFEFF)), 0}};
  const QByteArray bytes = *SerializeDatabase(records, nullptr);
  EXPECT_EQ(DetectDatabaseFormat(bytes), DatabaseFormat::kCurrent);
  const ParsedDatabase parsed = ReadDatabase(bytes);
  EXPECT_TRUE(parsed.sound()) << parsed.problems.join(u'\n').toStdString();
  EXPECT_EQ(parsed.records, records);
}

TEST(LogDatabase, RefusesFieldsThatWouldNotReadBack) {
  QString problem;
  EXPECT_FALSE(SerializeDatabase(
      {{QStringLiteral("/a.log"), 0, 0, QStringLiteral("say \"hi\""), 0}}, &problem));
  EXPECT_TRUE(problem.contains(QStringLiteral("double quote")));
  EXPECT_FALSE(
      SerializeDatabase({{QStringLiteral("/a.log"), 0, 0, QString(512, u'c'), 0}}, &problem));
  EXPECT_FALSE(SerializeDatabase({{u'/' + QString(1023, u'p'), 0, 0, QString(), 0}}, &problem));
  EXPECT_TRUE(SerializeDatabase({{u'/' + QString(1000, u'p'), 0, 0, QString(), 0}}, &problem));
  EXPECT_FALSE(SerializeDatabase({{QStringLiteral("/a\n.log"), 0, 0, QString(), 0}}, &problem));
  // Every field within its limit but the line as a whole too long.
  EXPECT_FALSE(
      SerializeDatabase({{u'/' + QString(600, u'p'), 0, 0, QString(500, u'c'), 0}}, &problem));
}

TEST(LogDatabase, ReadsTheOlderThreeFieldFormat) {
  const QByteArray bytes =
      QByteArray("\xFF\xFE", 2) + Utf16(QStringLiteral("\"/logs/a.log\",\"old comment\",\"900\"\r\n"
                                                       "\"/logs/b.log\",\"\",\"-330\"\r\n"));
  EXPECT_EQ(DetectDatabaseFormat(bytes), DatabaseFormat::kOlder);
  const std::vector<LogRecord> records = ReadDatabase(bytes).records;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0],
            (LogRecord{QStringLiteral("/logs/a.log"), 0, 0, QStringLiteral("old comment"), 900}));
  EXPECT_EQ(records[1].timeZone, -330);
}

TEST(LogDatabase, SkipsWhatIsNoRecord) {
  const QByteArray bytes =
      QByteArray("\xFF\xFE", 2) +
      Utf16(QStringLiteral("\"/a.log\",\"1\",\"2\",\"c\",\"900\"\r\n"
                           "\"/short.log\",\"1\"\r\n"                     // too few quotes
                           "\"/b.log\",\"x\",\"\",\"\",\"+100junk\"\r\n"  // numbers read as %d
                           "\"/") +
            QString(2100, u'p') +
            QStringLiteral("\",\"0\",\"0\",\"\",\"0\"\r\n"            // too long
                           "\"/c.log\",\"1\",\"2\",\"c\",\"900\""));  // no line feed
  const ParsedDatabase parsed = ReadDatabase(bytes);
  const std::vector<LogRecord>& records = parsed.records;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].filePath, QStringLiteral("/a.log"));
  EXPECT_EQ(records[1], (LogRecord{QStringLiteral("/b.log"), 0, 0, QString(), 100}));
  // Each line that is no whole record is told, and so are numbers that are none.
  EXPECT_EQ(
      parsed.problems,
      (QStringList{QStringLiteral("line 2: not a record (4 quote characters where 10 belong)"),
                   QStringLiteral("line 3: the colour \"x\" is not a number; read as 0"),
                   QStringLiteral("line 3: the line width \"\" is not a number; read as 0"),
                   QStringLiteral("line 3: the time zone \"+100junk\" is not a number; "
                                  "read as 100"),
                   QStringLiteral("line 4: cannot be kept: its path is longer than 1023 "
                                  "characters"),
                   QStringLiteral("line 5: cut off (no line end)")}));
  EXPECT_TRUE(ReadDatabase(QByteArray()).records.empty());
  EXPECT_TRUE(ReadDatabase(QByteArray()).sound());
  EXPECT_EQ(DetectDatabaseFormat(QByteArray()), DatabaseFormat::kCurrent);
}

// Three records as the writer writes them, and the bytes an editor, a crash or a disk
// makes of them. Whatever the damage, a record that cannot be read is told, never
// dropped in silence.
class DamagedDatabase : public ::testing::Test {
 protected:
  const std::vector<LogRecord> records_ = {
      {QStringLiteral("/logs/0517.log"), 2, 1, QStringLiteral("walk"), 900},
      {QStringLiteral("/logs/지은/0518.log"), 0, 3, QStringLiteral("한강"), -330},
      {QStringLiteral("/logs/0519.log"), 5, 0, QString(), 0}};
  QByteArray Sound() const { return *SerializeDatabase(records_, nullptr); }
  QString Text() const {
    const QByteArray bytes = Sound();
    return QString(reinterpret_cast<const QChar*>(bytes.constData() + 2), bytes.size() / 2 - 1);
  }
  static QByteArray Utf16Be(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
      bytes.append(static_cast<char>(c.unicode() >> 8))
          .append(static_cast<char>(c.unicode() & 0xFF));
    }
    return bytes;
  }
  // Every record is either read as it was or named by a problem.
  void ExpectNothingLostInSilence(const ParsedDatabase& parsed) const {
    std::size_t found = 0;
    for (const LogRecord& record : records_) {
      found += std::count(parsed.records.begin(), parsed.records.end(), record);
    }
    if (found < records_.size()) {
      EXPECT_FALSE(parsed.sound()) << "records were lost without a word";
    }
  }
};

TEST_F(DamagedDatabase, OtherEncodingsAreReadWhole) {
  const QString text = Text();
  const QByteArray utf8 = text.toUtf8();
  const QByteArray encodings[] = {
      QByteArray("\xEF\xBB\xBF") + utf8,          // UTF-8 as editors save it
      utf8,                                       // UTF-8 without a mark
      QByteArray("\xFE\xFF", 2) + Utf16Be(text),  // UTF-16 big-endian
      Utf16Be(text),                              // ... without a mark
      Utf16(text),                                // UTF-16 little-endian without a mark
  };
  for (const QByteArray& bytes : encodings) {
    const ParsedDatabase parsed = ReadDatabase(bytes);
    EXPECT_EQ(parsed.records, records_) << bytes.left(8).toHex().toStdString();
    // Read whole, but not in the file's own form: a copy is kept before it is replaced.
    EXPECT_FALSE(parsed.sound());
  }
  // An editor that turned CR LF into LF changed nothing that matters.
  QString unix = text;
  unix.remove(u'\r');
  const ParsedDatabase parsed = ReadDatabase(QByteArray("\xFF\xFE", 2) + Utf16(unix));
  EXPECT_EQ(parsed.records, records_);
  EXPECT_TRUE(parsed.sound());
}

TEST_F(DamagedDatabase, DamageIsToldLineByLine) {
  const QByteArray sound = Sound();
  QString text = Text();
  const qsizetype secondLine = text.indexOf(u'\n') + 1;
  struct Case {
    const char* what;
    QByteArray bytes;
  };
  QString lostQuote = text;
  lostQuote.remove(lostQuote.indexOf(u'"', secondLine + 3), 1);
  QString sixQuotes = text;  // the first line of the new format with two fields lost
  sixQuotes.remove(sixQuotes.indexOf(QStringLiteral(",\"2\",\"1\"")), 8);
  QString extraQuote = text;
  extraQuote.insert(extraQuote.indexOf(QStringLiteral("walk")), u'"');
  QByteArray inserted = sound;
  inserted.insert(sound.size() / 2 + 1, 'x');
  QByteArray truncated = sound;
  truncated.chop(7);
  const Case cases[] = {
      {"one byte inserted", inserted},
      {"a lost quote", QByteArray("\xFF\xFE", 2) + Utf16(lostQuote)},
      {"six quotes in the first line", QByteArray("\xFF\xFE", 2) + Utf16(sixQuotes)},
      {"a quote too many", QByteArray("\xFF\xFE", 2) + Utf16(extraQuote)},
      {"cut off", truncated},
      {"zeros", QByteArray(300, '\0')},
      {"zeros after the records", sound + QByteArray(64, '\0')},
      {"garbage", QByteArray("\xFF\xFE", 2) + QByteArray(100, '\x22')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ParsedDatabase parsed = ReadDatabase(c.bytes);
    EXPECT_FALSE(parsed.sound());
    ExpectNothingLostInSilence(parsed);
  }
  // The records a damaged line leaves alone are still read.
  EXPECT_EQ(ReadDatabase(QByteArray("\xFF\xFE", 2) + Utf16(lostQuote)).records,
            (std::vector<LogRecord>{records_[0], records_[2]}));
  const ParsedDatabase six = ReadDatabase(QByteArray("\xFF\xFE", 2) + Utf16(sixQuotes));
  EXPECT_EQ(six.format, DatabaseFormat::kCurrent);
  EXPECT_EQ(six.records, (std::vector<LogRecord>{records_[1], records_[2]}));
  EXPECT_EQ(six.problems.size(), 1);
  EXPECT_TRUE(six.problems[0].startsWith(QStringLiteral("line 1: ")));
}

TEST_F(DamagedDatabase, TheFormatIsToldByCharactersNotBytes) {
  // U+CC22 is stored as the bytes 22 CC: a quote byte, but no quote character.
  const QString older = QStringLiteral("\"/logs/\uCC22.log\",\"x\",\"900\"\r\n");
  const QByteArray bytes = QByteArray("\xFF\xFE", 2) + Utf16(older);
  EXPECT_EQ(DetectDatabaseFormat(bytes), DatabaseFormat::kOlder);
  const ParsedDatabase parsed = ReadDatabase(bytes);
  ASSERT_EQ(parsed.records.size(), 1u);
  EXPECT_EQ(parsed.records[0],
            (LogRecord{QStringLiteral("/logs/\uCC22.log"), 0, 0, QStringLiteral("x"), 900}));
  EXPECT_TRUE(parsed.sound());
}

}  // namespace
}  // namespace trevalo
