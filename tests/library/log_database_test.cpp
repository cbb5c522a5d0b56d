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

}  // namespace
}  // namespace trevalo
