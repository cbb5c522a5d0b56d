#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "export/text_line_writer.h"
#include "support/test_files.h"
#include "tagging/photo_table.h"

namespace trevalo {
namespace {

TEST(TableExport, PhotoTableHasAHeaderAndALinePerRow) {
  QTemporaryDir dir;
  // Rows made the way the list fills them: one matched, one not.
  PhotoRow matched;
  matched.path = QStringLiteral("/photos/a, b.jpg");
  matched.fileName = QStringLiteral("a, b.jpg");
  matched.dateText = QStringLiteral("2009-05-17 10:30:10");
  matched.latitudeText = QStringLiteral("N 37° 23' 27.40\"");
  matched.longitudeText = QStringLiteral("E 126° 58' 07.40\"");
  matched.altitudeText = QStringLiteral("45.3 m");
  matched.logFile = QStringLiteral("/logs/walk.log");
  PhotoRow unmatched;
  unmatched.path = QStringLiteral("/photos/100%.jpg");
  unmatched.fileName = QStringLiteral("100%.jpg");
  unmatched.dateText = QStringLiteral("2009-05-17 12:00:00");
  const std::vector<PhotoRow> rows = {matched, unmatched};
  const QString path = dir.filePath(QStringLiteral("photos.csv"));
  std::vector<std::size_t> progress;
  bool inUtf8 = true;
  ASSERT_EQ(WritePhotoTable(
                path, QStringLiteral("No,File Name,Date Taken"), rows,
                [&](std::size_t done, std::size_t, const QString&) { progress.push_back(done); },
                &inUtf8),
            QString());
  EXPECT_EQ(progress, (std::vector<std::size_t>{0, 1}));
  EXPECT_FALSE(inUtf8);
  std::string expected;
  Cp949Encoder().Append(
      QStringLiteral("No,File Name,Date Taken\r\n"
                     "1,\"a, b.jpg\",2009-05-17 10:30:10,\"N 37° 23' 27.40\"\"\",\"E 126° 58' "
                     "07.40\"\"\",45.3 m,\"/photos/a, b.jpg\",/logs/walk.log\r\n"
                     "2,100%.jpg,2009-05-17 12:00:00,,,,/photos/100%.jpg,\r\n"),
      expected);
  EXPECT_EQ(test::ReadFile(path).toStdString(), expected);

  // A name code page 949 lacks: the whole table in UTF-8 with a byte order mark, nothing "?".
  PhotoRow zurich = unmatched;
  zurich.path = QStringLiteral("/photos/Z\u00fcrich \u00e9t\u00e9 \uc0ac\uc9c4.jpg");
  zurich.fileName = QStringLiteral("Z\u00fcrich \u00e9t\u00e9 \uc0ac\uc9c4.jpg");
  ASSERT_EQ(WritePhotoTable(path, QStringLiteral("No,File Name"), {matched, zurich}, {}, &inUtf8),
            QString());
  EXPECT_TRUE(inUtf8);
  const QByteArray utf8 = test::ReadFile(path);
  EXPECT_EQ(utf8,
            QByteArray("\xEF\xBB\xBF") +
                QStringLiteral(
                    "No,File Name\r\n"
                    "1,\"a, b.jpg\",2009-05-17 10:30:10,\"N 37\u00b0 23' 27.40\"\"\",\"E 126\u00b0 "
                    "58' 07.40\"\"\",45.3 m,\"/photos/a, b.jpg\",/logs/walk.log\r\n"
                    "2,Z\u00fcrich \u00e9t\u00e9 \uc0ac\uc9c4.jpg,2009-05-17 12:00:00,,,,"
                    "/photos/Z\u00fcrich \u00e9t\u00e9 \uc0ac\uc9c4.jpg,\r\n")
                    .toUtf8());
}

}  // namespace
}  // namespace trevalo
