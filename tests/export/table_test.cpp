#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "export/table_export.h"
#include "export/text_line_writer.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

TEST(TextLineWriter, WritesCodePage949LinesWithCrLfOrUtf8WhenItLacksACharacter) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("t.csv"));
  {
    TextLineWriter writer(path);
    writer.WriteLine(QStringLiteral("한강,100% %s %n"));  // nothing is a format
    writer.WriteLine(QStringLiteral("37°"));
    writer.WriteLine(QString());
    ASSERT_EQ(writer.Close(), QString());
    EXPECT_FALSE(writer.inUtf8());
    EXPECT_EQ(test::ReadFile(path), QByteArray("\xC7\xD1\xB0\xAD,100% %s %n\r\n"
                                               "37\xA1\xC6\r\n"
                                               "\r\n"));
  }
  // é and the emoji are not in code page 949: the whole table in UTF-8, no "?".
  TextLineWriter writer(path);
  writer.WriteLine(QStringLiteral("한강,100% %s %n"));
  writer.WriteLine(QStringLiteral("37° \u00e9\U0001F600"));
  ASSERT_EQ(writer.Close(), QString());
  EXPECT_TRUE(writer.inUtf8());
  EXPECT_EQ(test::ReadFile(path),
            QByteArray("\xEF\xBB\xBF") +
                QStringLiteral("한강,100% %s %n\r\n37° \u00e9\U0001F600\r\n").toUtf8());
}

TEST(TextLineWriter, FieldsWithCommasQuotesOrBreaksAreQuoted) {
  EXPECT_EQ(CsvField(QStringLiteral("plain 100%")), QStringLiteral("plain 100%"));
  EXPECT_EQ(CsvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
  EXPECT_EQ(CsvField(QStringLiteral("37° 23' 27.40\"")), QStringLiteral("\"37° 23' 27.40\"\"\""));
  EXPECT_EQ(CsvField(QStringLiteral("two\nlines")), QStringLiteral("\"two\nlines\""));
  EXPECT_EQ(CsvLine({QStringLiteral("1"), QString(), QStringLiteral("x,y")}),
            QStringLiteral("1,,\"x,y\""));
}

TEST(TableExport, LogBlocksHoldPathHeaderPointsAndAnEmptyLine) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("walk,1.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 2, .altitude = -3.0, .climbPerEpoch = 0}));
  LogLibrary library = LogLibrary::InMemory({{log, 0, 0, {}, 900}}, 0);
  QStringList problems;
  ASSERT_TRUE(library.LoadHeld(0, problems));
  const QString path = dir.filePath(QStringLiteral("t.csv"));
  TextLineWriter writer(path);
  WriteLogTableBlock(writer, library.log(0),
                     {QStringLiteral("No,Latitude,Longitude,Altitude,Date Time"),
                      QStringLiteral("%s %d %02d %05.2f"),
                      {}});
  ASSERT_EQ(writer.Close(), QString());
  const QList<QByteArray> lines = test::ReadFile(path).split('\n');
  ASSERT_EQ(lines.size(), 6);  // path, header, two points, the empty line, nothing after it
  EXPECT_EQ(lines[0], "\"" + log.toUtf8() + "\"\r");
  EXPECT_EQ(lines[1], "No,Latitude,Longitude,Altitude,Date Time\r");
  // 37.390945 N is 37° 23' 27.40"; the display format places the hemisphere letter, once.
  EXPECT_EQ(lines[2], "1,N 37 23 27.40,E 126 58 07.40,-3.0 m,2009-05-17  21:00:00\r");
  EXPECT_TRUE(lines[3].startsWith("2,N 37 23 27.50,E 126 58 07.57,-2.8 m,"))
      << lines[3].toStdString();
  EXPECT_EQ(lines[4], "\r");
  EXPECT_EQ(lines[5], "");
}

}  // namespace
}  // namespace trevalo
