// Photos of every kind: JPEGs through our own reader, all others through Exiv2, read by the
// same rules.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "photo/capture_time.h"
#include "photo/exif_file.h"
#include "photo/photo_metadata.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

QString OtherTestFile(const char* name) {
  const QString data = test::TestDataFolder();
  return data.isEmpty() ? QString() : data + QStringLiteral("/other/") + QLatin1String(name);
}

TEST(PhotoMetadata, RealPhotosOfOtherKindsGiveTheirCaptureTimeCameraAndPosition) {
  if (test::TestDataFolder().isEmpty()) {
    GTEST_SKIP() << "the shared test data folder is absent";
  }
  const PhotoMetadata heic = ReadPhotoMetadata(OtherTestFile("2021-02-13-1929.heic"));
  ASSERT_TRUE(heic.read) << heic.problem.toStdString();
  EXPECT_FALSE(heic.jpeg);
  EXPECT_EQ(heic.info.dateTime, "2021:02:13 11:03:31");
  EXPECT_EQ(heic.info.cameraMake, "Apple");
  EXPECT_EQ(heic.info.orientation, 6);
  EXPECT_EQ(heic.info.width, 4032);
  ASSERT_TRUE(heic.gps.latitudeDegrees && heic.gps.longitudeDegrees);
  EXPECT_NEAR(*heic.gps.latitudeDegrees, 30.5804, 1e-4);
  EXPECT_NEAR(*heic.gps.longitudeDegrees, -88.0739, 1e-4);  // "W" read as west

  const PhotoMetadata tiff = ReadPhotoMetadata(OtherTestFile("Reagan.tiff"));
  ASSERT_TRUE(tiff.read) << tiff.problem.toStdString();
  EXPECT_EQ(tiff.info.dateTime, "2004:06:21 23:37:53");
  EXPECT_EQ(tiff.info.cameraModel, "NIKON D1X");

  const PhotoMetadata crw = ReadPhotoMetadata(OtherTestFile("exiv2-canon-powershot-s40.crw"));
  ASSERT_TRUE(crw.read) << crw.problem.toStdString();
  EXPECT_EQ(crw.info.dateTime, "2005:04:23 17:54:36");
}

TEST(PhotoMetadata, CaptureTimesCarryTheZoneAndFractionTheirPhotosRecord) {
  // The written forms of zones and fractions.
  EXPECT_EQ(ZoneOffsetSeconds("+0530"), 19800);
  EXPECT_EQ(ZoneOffsetSeconds("-00:30"), -1800);
  EXPECT_EQ(ZoneOffsetSeconds("Z"), 0);
  for (const char* refused : {"", "   :  ", "+15:00", "+02:60", "02:00", "+2:00"}) {
    EXPECT_EQ(ZoneOffsetSeconds(refused), std::nullopt) << refused;
  }
  EXPECT_EQ(FractionMillis("06"), 60);
  EXPECT_EQ(FractionMillis("8645"), 864);
  EXPECT_EQ(FractionMillis(" "), std::nullopt);
  if (test::TestDataFolder().isEmpty() || !test::HaveProgram(QStringLiteral("exiftool"))) {
    GTEST_SKIP() << "the shared test data folder or exiftool is absent";
  }
  // An iPhone's HEIC (through Exiv2) and a Nikon's TIFF, as they came.
  const PhotoInfo heic = ReadPhotoMetadata(OtherTestFile("2021-02-13-1929.heic")).info;
  EXPECT_EQ(CaptureDetailOf(heic), (CaptureDetail{864, -6 * 3600}));
  EXPECT_EQ(UtcTimeText(*CaptureTime(heic.dateTime), CaptureDetailOf(heic)),
            "2021-02-13T17:03:31.864Z");
  const PhotoInfo tiff = ReadPhotoMetadata(OtherTestFile("Reagan.tiff")).info;
  EXPECT_EQ(CaptureDetailOf(tiff), (CaptureDetail{60, std::nullopt}));
  EXPECT_EQ(UtcTimeText(*CaptureTime(tiff.dateTime), CaptureDetailOf(tiff)), "");
  // JPEGs through our own reader: OffsetTime and SubSecTime stand in for the capture's own.
  QTemporaryDir dir;
  const QString jpeg = dir.filePath(QStringLiteral("p.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(jpeg, "2021:03:04 10:11:12"));
  test::Run(QStringLiteral("exiftool"),
            {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
             QStringLiteral("-OffsetTimeOriginal=+05:30"), QStringLiteral("-SubSecTimeOriginal=5"),
             jpeg});
  EXPECT_EQ(CaptureDetailOf(ReadPhotoMetadata(jpeg).info), (CaptureDetail{500, 19800}));
  test::Run(QStringLiteral("exiftool"),
            {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
             QStringLiteral("-OffsetTimeOriginal="), QStringLiteral("-SubSecTimeOriginal="),
             QStringLiteral("-OffsetTime=-03:00"), QStringLiteral("-SubSecTime=25"), jpeg});
  EXPECT_EQ(CaptureDetailOf(ReadPhotoMetadata(jpeg).info), (CaptureDetail{250, -3 * 3600}));
  // An image that carries its time only in XMP, with a fraction and a zone.
  const QString png = dir.filePath(QStringLiteral("p.png"));
  ASSERT_TRUE(test::MakeOtherPhoto(png, ""));
  test::Run(QStringLiteral("exiftool"),
            {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
             QStringLiteral("-XMP-exif:DateTimeOriginal=2021:03:04 10:11:12.25+01:00"), png});
  const PhotoInfo xmp = ReadPhotoMetadata(png).info;
  EXPECT_EQ(xmp.dateTime, "2021:03:04 10:11:12");
  EXPECT_EQ(CaptureDetailOf(xmp), (CaptureDetail{250, 3600}));
}

TEST(PhotoMetadata, AnImageWithOnlyAModificationDateHasNoCaptureTime) {
  if (test::TestDataFolder().isEmpty()) {
    GTEST_SKIP() << "the shared test data folder is absent";
  }
  // This AVIF holds IFD0's DateTime (set by an image editor), no DateTimeOriginal.
  const PhotoMetadata avif = ReadPhotoMetadata(OtherTestFile("avif_metadata2.avif"));
  ASSERT_TRUE(avif.read) << avif.problem.toStdString();
  EXPECT_EQ(avif.info.dateTime, "");
}

TEST(PhotoMetadata, GeneratedPhotosOfEachKindGiveTheirCaptureTime) {
  QTemporaryDir dir;
  for (const char* name : {"p.cr3", "p.dng", "p.webp", "p.png", "p.tif"}) {
    const QString path = dir.filePath(QLatin1String(name));
    if (!test::MakeOtherPhoto(path, "2021:03:04 10:11:12")) {
      GTEST_SKIP() << "ImageMagick or exiftool is not installed";
    }
    const PhotoMetadata photo = ReadPhotoMetadata(path);
    ASSERT_TRUE(photo.read) << name << ": " << photo.problem.toStdString();
    EXPECT_FALSE(photo.jpeg) << name;
    EXPECT_EQ(photo.info.dateTime, "2021:03:04 10:11:12") << name;
    EXPECT_FALSE(photo.gps.present) << name;
  }
  const QString undated = dir.filePath(QStringLiteral("undated.cr3"));
  ASSERT_TRUE(test::MakeOtherPhoto(undated, ""));
  const PhotoMetadata photo = ReadPhotoMetadata(undated);
  ASSERT_TRUE(photo.read);
  EXPECT_EQ(photo.info.cameraModel, "Canon EOS R5");
  EXPECT_EQ(photo.info.dateTime, "");
}

TEST(PhotoMetadata, JpegPhotosAreReadByOurOwnReader) {
  const QStringList photos = test::RealPhotos();
  if (photos.isEmpty()) {
    GTEST_SKIP() << "the shared test data folder is absent";
  }
  for (const QString& path : photos) {
    ExifFile own(path, ExifFile::kReadOnly);
    const bool read = own.ReadSections();
    const PhotoMetadata photo = ReadPhotoMetadata(path);
    EXPECT_TRUE(photo.jpeg) << path.toStdString();
    EXPECT_EQ(photo.read, read) << path.toStdString();
    EXPECT_EQ(photo.info, own.info()) << path.toStdString();
    EXPECT_EQ(photo.invalidDateTime, own.invalidDateTime()) << path.toStdString();
    EXPECT_EQ(photo.problem, own.errorText()) << path.toStdString();
  }
}

TEST(PhotoMetadata, DamagedAndForeignFilesAreToldWhatIsWrong) {
  QTemporaryDir dir;
  const QString text = dir.filePath(QStringLiteral("notes.cr3"));
  test::WriteFile(text, "just text, no photo");
  EXPECT_EQ(ReadPhotoMetadata(text).problem, QStringLiteral("not a JPEG file"));
  const QString tiny = dir.filePath(QStringLiteral("x.heic"));
  test::WriteFile(tiny, "ab");
  EXPECT_FALSE(ReadPhotoMetadata(tiny).read);
  EXPECT_FALSE(ReadPhotoMetadata(dir.filePath(QStringLiteral("missing.cr3"))).problem.isEmpty());
  if (!test::TestDataFolder().isEmpty()) {
    // The start of a real HEIC: its metadata boxes point past the end of the file.
    const QString cut = dir.filePath(QStringLiteral("cut.heic"));
    test::WriteFile(cut,
                    test::ReadFile(OtherTestFile("2021-02-13-1929.heic")).left(3000).toStdString());
    const PhotoMetadata photo = ReadPhotoMetadata(cut);
    EXPECT_FALSE(photo.read);
    EXPECT_EQ(photo.problem, QStringLiteral("corrupted image metadata"));
  }
  const QString zeros = dir.filePath(QStringLiteral("zeros.png"));
  if (test::MakeOtherPhoto(zeros, "0000:00:00 00:00:00")) {
    const PhotoMetadata photo = ReadPhotoMetadata(zeros);
    EXPECT_FALSE(photo.read);
    EXPECT_TRUE(photo.invalidDateTime);
  }
}

}  // namespace
}  // namespace trevalo
