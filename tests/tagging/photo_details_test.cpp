#include "tagging/photo_details.h"

#include <QDir>

#include <gtest/gtest.h>

#include "photo/exif_file.h"
#include "support/test_files.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

// The rows as "key=value" lines, for comparing in one go.
std::string Lines(const std::vector<DetailRow>& rows) {
  std::string text;
  for (const DetailRow& row : rows) {
    text += (row.labelKey + u'=' + row.value + u'\n').toStdString();
  }
  return text;
}

TEST(PhotoDetails, NumbersDropOnlyAWholeTwoDecimalTail) {
  EXPECT_EQ(NumberText(100), QStringLiteral("100"));
  EXPECT_EQ(NumberText(0.5), QStringLiteral("0.50"));
  EXPECT_EQ(NumberText(-0.67), QStringLiteral("-0.67"));
  EXPECT_EQ(NumberText(5.8), QStringLiteral("5.80"));
}

TEST(PhotoDetails, FlashAndProgramTexts) {
  EXPECT_EQ(FlashText(0), QStringLiteral("No"));
  EXPECT_EQ(FlashText(16), QStringLiteral("No"));
  EXPECT_EQ(FlashText(24), QStringLiteral("No(Auto?)"));
  EXPECT_EQ(FlashText(9), QStringLiteral("Manual"));
  // The misspelt and double-blank texts are corrected.
  EXPECT_EQ(FlashText(89), QStringLiteral("Auto, Red eye reduction mode"));
  EXPECT_EQ(FlashText(15), QStringLiteral("Manual, Return light detected"));
  EXPECT_EQ(FlashText(3), QString()) << "a fired value of no known kind adds no row";
  EXPECT_EQ(ExposureProgramText(2), QStringLiteral("Program(Auto)"));
  EXPECT_EQ(ExposureProgramText(9), QStringLiteral("unknown"));
}

TEST(PhotoDetails, RowsOfARealCameraPhoto) {
  const QString canon = test::TestDataFolder() + QStringLiteral("/jpeg/ianare_Canon_40D.jpg");
  if (test::TestDataFolder().isEmpty()) {
    GTEST_SKIP() << "the shared test data folder is absent";
  }
  ExifFile photo(canon, ExifFile::kReadOnly);
  ASSERT_TRUE(photo.ReadSections());
  PhotoRow row;
  row.path = canon;
  row.dateText = QStringLiteral("2008-05-30 15:56:01");
  EXPECT_EQ(Lines(PhotoDetailRows(row, photo.info())),
            "IMGINFO_LIST_FILENAME=" + canon.toStdString() +
                "\n"
                "IMGINFO_LIST_DATETIME=2008-05-30 15:56:01\n"
                "IMGINFO_LIST_CAMMAKER=Canon\n"
                "IMGINFO_LIST_CAMMODEL=Canon EOS 40D\n"
                "IMGINFO_LIST_RESOLUTION=100 x 68\n"
                "IMGINFO_LIST_EXPOSURETIME=" +
                photo.info().exposureTimeText +
                "\n"
                "IMGINFO_LIST_APERTURE=F7.0\n"  // from ApertureValue, which replaces FNumber

                "IMGINFO_LIST_EXPOSUREPROGRAM=Manual\n"
                "IMGINFO_LIST_FOCALLENGTH=135mm\n"
                "IMGINFO_LIST_ISO=100\n"
                "IMGINFO_LIST_EXPOSUREBIAS=0\n"
                "IMGINFO_LIST_FLASH=Manual\n"
                "IMGINFO_LIST_METERINGMODE=Matrix\n"
                "IMGINFO_LIST_EXPOSUREMODE=Manual\n"
                "IMGINFO_LIST_WHITEBALANCE=Auto\n");
}

TEST(PhotoDetails, PositionRowsOnlyWhenMatchedAndUprightResolution) {
  PhotoRow row;
  row.path = QStringLiteral("/p/a.jpg");
  PhotoInfo portrait;
  portrait.width = 3000;
  portrait.height = 2000;
  portrait.orientation = 6;
  std::string lines = Lines(PhotoDetailRows(row, portrait));
  EXPECT_EQ(lines.find("IMGINFO_LIST_LAT"), std::string::npos);
  EXPECT_NE(lines.find("IMGINFO_LIST_RESOLUTION=2000 x 3000\n"), std::string::npos);

  row.latitudeText = QStringLiteral("N 37° 23' 27.40\"");
  row.longitudeText = QStringLiteral("E 126° 58' 7.40\"");
  row.altitudeText = QStringLiteral("45.3 m");
  // An unreadable photo keeps the rows that need no EXIF data.
  EXPECT_EQ(Lines(PhotoDetailRows(row, std::nullopt)),
            "IMGINFO_LIST_FILENAME=/p/a.jpg\n"
            "IMGINFO_LIST_LAT=N 37° 23' 27.40\"\n"
            "IMGINFO_LIST_LONG=E 126° 58' 7.40\"\n"
            "IMGINFO_LIST_ALT=45.3 m\n");
  // A photo that records its clock's zone and fraction: the zone and the UTC instant follow
  // the camera's own time.
  row.latitudeText.clear();
  row.dateText = QStringLiteral("2021-02-13 11:03:31");
  row.captureTime = *MakeTime(2021, 2, 13, 11, 3, 31);
  row.capture = {864, -6 * 3600};
  EXPECT_EQ(Lines(PhotoDetailRows(row, std::nullopt)),
            "IMGINFO_LIST_FILENAME=/p/a.jpg\n"
            "IMGINFO_LIST_DATETIME=2021-02-13 11:03:31\n"
            "IMGINFO_LIST_ZONE=-06:00\n"
            "IMGINFO_LIST_UTCTIME=2021-02-13T17:03:31.864Z\n");
}

}  // namespace
}  // namespace trevalo
