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
  ASSERT_EQ(WritePhotoTable(
                path, QStringLiteral("No,File Name,Date Taken"), rows,
                [&](std::size_t done, std::size_t, const QString&) { progress.push_back(done); }),
            QString());
  EXPECT_EQ(progress, (std::vector<std::size_t>{0, 1}));
  std::string expected;
  Cp949Encoder().Append(
      QStringLiteral("No,File Name,Date Taken\r\n"
                     "1,\"a, b.jpg\",2009-05-17 10:30:10,\"N 37° 23' 27.40\"\"\",\"E 126° 58' "
                     "07.40\"\"\",45.3 m,\"/photos/a, b.jpg\",/logs/walk.log\r\n"
                     "2,100%.jpg,2009-05-17 12:00:00,,,,/photos/100%.jpg,\r\n"),
      expected);
  EXPECT_EQ(test::ReadFile(path).toStdString(), expected);
}

}  // namespace
}  // namespace trevalo
