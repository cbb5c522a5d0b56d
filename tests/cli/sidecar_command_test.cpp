// End to end: photos of every kind tagged through XMP sidecars by trevalo-cli geotag, read
// back by exiftool and by trevalo-cli photo info.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

using test::RunCli;

class SidecarGeotag : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram(QStringLiteral("exiftool")) ||
        !test::HaveProgram(QStringLiteral("convert"))) {
      GTEST_SKIP() << "exiftool or ImageMagick is not installed";
    }
    // 2021-02-13, 10:00 to 12:00 UTC, a fix a minute.
    log_ = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(log_, test::GenerateLog({.year = 2021,
                                             .month = 2,
                                             .day = 13,
                                             .hour = 10,
                                             .epochs = 121,
                                             .intervalSeconds = 60,
                                             .latitude = 30.5,
                                             .longitude = -88.1},
                                            &fixes_));
  }
  QString Photo(const char* name, const char* dateTime) {
    const QString path = dir_.filePath(QLatin1String(name));
    EXPECT_TRUE(test::MakeOtherPhoto(path, dateTime)) << name;
    return path;
  }
  // A link beside the others to a shared test file, so that its sidecar is written here.
  QString Shared(const char* name) {
    const QString link = dir_.filePath(QLatin1String(name));
    QFile::link(test::TestDataFolder() + QStringLiteral("/other/") + QLatin1String(name), link);
    return link;
  }
  QJsonObject ExifTool(const QString& file) {
    const QByteArray json =
        test::Run(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"), file});
    return QJsonDocument::fromJson(json).array().at(0).toObject();
  }
  QStringList Geotag(const QStringList& extra) {
    return QStringList{
               QStringLiteral("geotag"), QStringLiteral("--log"), log_,
               QStringLiteral("--zone"), QStringLiteral("0"),     QStringLiteral("--json")} +
           extra;
  }
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  QTemporaryDir dir_;
  QString log_;
  std::vector<test::GeneratedFix> fixes_;
};

TEST_F(SidecarGeotag, RawHeifAndWebpPhotosGetSidecarsThatExiftoolReads) {
  if (test::TestDataFolder().isEmpty()) {
    GTEST_SKIP() << "the shared test data folder is absent";
  }
  const QStringList photos = {Photo("IMG_1.CR3", "2021:02:13 10:05:00"),
                              Photo("IMG_2.dng", "2021:02:13 10:20:00"),
                              Shared("2021-02-13-1929.heic"),  // taken 11:03:31 (-06:00)
                              Photo("IMG_4.webp", "2021:02:13 11:40:00")};
  QList<QByteArray> before;
  for (const QString& photo : photos) {
    before << test::ReadFile(photo);
  }
  // The camera clock read in the log's zone, as a camera without a recorded zone would be.
  const auto result =
      RunCli(Geotag(QStringList{QStringLiteral("--ignore-photo-zone")} + photos), Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray outcomes = result.Json().array();
  ASSERT_EQ(outcomes.size(), 4);
  const int expectedPoints[] = {5, 20, 64, 100};
  for (int i = 0; i < 4; ++i) {
    const QJsonObject o = outcomes[i].toObject();
    ASSERT_TRUE(o[QStringLiteral("matched")].toBool()) << i;
    EXPECT_EQ(o[QStringLiteral("pointIndex")].toInt(), expectedPoints[i]);
    const QString sidecar = o[QStringLiteral("written")].toString();
    EXPECT_EQ(sidecar, photos[i] + QStringLiteral(".xmp"));
    EXPECT_EQ(test::ReadFile(photos[i]), before[i]) << "the photo itself is never written";
    const QJsonObject tags = ExifTool(sidecar);
    const test::GeneratedFix& fix = fixes_[static_cast<std::size_t>(expectedPoints[i])];
    // The position as the log holds it, not rounded to tenths of a second.
    EXPECT_NEAR(tags[QStringLiteral("GPSLatitude")].toDouble(), fix.latitude, 1e-6);
    EXPECT_NEAR(tags[QStringLiteral("GPSLongitude")].toDouble(), fix.longitude, 1e-6);
    EXPECT_NEAR(tags[QStringLiteral("GPSAltitude")].toDouble(), fix.altitude, 0.1);
    EXPECT_EQ(tags[QStringLiteral("GPSDateTime")].toString(),
              QStringLiteral("2021:02:13 %1:%2:00Z")
                  .arg(10 + expectedPoints[i] / 60)
                  .arg(expectedPoints[i] % 60, 2, 10, QChar(u'0')));
  }
  // photo info shows the sidecar's position beside what the photo holds.
  const auto info = RunCli({QStringLiteral("photo"), QStringLiteral("info"), photos[0]}, Home());
  ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
  EXPECT_TRUE(info.out.contains("  kind     image/x-canon-cr3\n")) << info.out.toStdString();
  EXPECT_TRUE(info.out.contains("  taken    2021:02:13 10:05:00\n"));
  EXPECT_TRUE(info.out.contains(
      (QStringLiteral("  sidecar  ") + photos[0] + QStringLiteral(".xmp: 30.5")).toUtf8()))
      << info.out.toStdString();
}

TEST_F(SidecarGeotag, ADocumentShowsEachPhotoByAPictureOfItNeverByItsSidecar) {
  if (test::TestDataFolder().isEmpty() || !test::HaveProgram(QStringLiteral("unzip"))) {
    GTEST_SKIP() << "the shared test data or unzip is missing";
  }
  // A Canon RAW that carries a JPEG of itself, and a WebP that carries none.
  const QString raw = Shared("exiv2-canon-powershot-s40.crw");
  const QString webp = Photo("IMG_4.webp", "2021:02:13 11:40:00");
  const QString out = dir_.filePath(QStringLiteral("out"));
  ASSERT_TRUE(QDir().mkpath(out));
  const auto result = RunCli(
      Geotag({QStringLiteral("--tolerance"), QStringLiteral("99"), QStringLiteral("--out"), out,
              QStringLiteral("--kml"), QStringLiteral("trip"), QStringLiteral("--kmz"), raw, webp}),
      Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QByteArray kml = test::ReadFile(out + QStringLiteral("/trip.KML"));
  EXPECT_FALSE(kml.contains(".xmp")) << kml.toStdString();
  EXPECT_TRUE(kml.contains("<name>exiv2-canon-powershot-s40.crw</name>"));
  EXPECT_TRUE(kml.contains("<img src='exiv2-canon-powershot-s40.crw.jpg' width='160' />"));
  EXPECT_TRUE(kml.contains("<name>IMG_4.webp</name>\n\t\t\t\t<styleUrl>")) << "no picture";
  // The picture is a JPEG beside the document and in the package, with the document.
  const QByteArray beside =
      test::ReadFile(out + QStringLiteral("/exiv2-canon-powershot-s40.crw.jpg"));
  ASSERT_GE(beside.size(), 2);
  EXPECT_TRUE(beside.startsWith("\xFF\xD8"));
  const QByteArray listing = test::Run(QStringLiteral("unzip"),
                                       {QStringLiteral("-Z1"), out + QStringLiteral("/trip.KMZ")});
  EXPECT_EQ(listing, QByteArray("exiv2-canon-powershot-s40.crw.jpg\ntrip.KML\n"));
}

TEST_F(SidecarGeotag, JpegsGetSidecarsWhenAskedAndNamesFollowTheChoice) {
  const QString jpeg = dir_.filePath(QStringLiteral("IMG_5.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(jpeg, "2021:02:13 10:30:00"));
  const QString raw = Photo("IMG_6.CR3", "2021:02:13 10:31:00");
  const QByteArray jpegBefore = test::ReadFile(jpeg);
  const auto result = RunCli(Geotag({QStringLiteral("--sidecar"), QStringLiteral("--sidecar-name"),
                                     QStringLiteral("base"), jpeg, raw}),
                             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray outcomes = result.Json().array();
  EXPECT_EQ(outcomes[0].toObject()[QStringLiteral("written")].toString(),
            dir_.filePath(QStringLiteral("IMG_5.xmp")));
  EXPECT_EQ(outcomes[1].toObject()[QStringLiteral("written")].toString(),
            dir_.filePath(QStringLiteral("IMG_6.xmp")));
  EXPECT_EQ(test::ReadFile(jpeg), jpegBefore);
  EXPECT_NEAR(ExifTool(dir_.filePath(QStringLiteral("IMG_5.xmp")))[QStringLiteral("GPSLatitude")]
                  .toDouble(),
              fixes_[30].latitude, 0.1 / 3600);
  // Without --sidecar a JPEG still needs --out or --in-place; --sidecar-name takes two words.
  EXPECT_EQ(RunCli(Geotag({jpeg}), Home()).exitCode, 2);
  EXPECT_EQ(RunCli(Geotag({QStringLiteral("--sidecar"), QStringLiteral("--sidecar-name"),
                           QStringLiteral("adobe"), raw}),
                   Home())
                .exitCode,
            2);
}

TEST_F(SidecarGeotag, APhotoWithoutACaptureTimeIsRefusedWithThatReason) {
  const QString undated = Photo("IMG_7.CR3", "");
  const QString dated = Photo("IMG_8.CR3", "2021:02:13 10:40:00");
  // A JPEG too: not "no log covers its time", a time it does not have.
  const QString undatedJpeg = dir_.filePath(QStringLiteral("undated.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(undatedJpeg, ""));
  QStringList photos{undated, dated, undatedJpeg};
  if (!test::TestDataFolder().isEmpty()) {
    photos << Shared("avif_metadata2.avif");  // only an editor's modification date
  }
  const auto result = RunCli(Geotag(QStringList{QStringLiteral("--tolerance"), QStringLiteral("99"),
                                                QStringLiteral("--in-place")} +
                                    photos),
                             Home());
  EXPECT_EQ(result.exitCode, 1);
  const QJsonArray outcomes = result.Json().array();
  ASSERT_EQ(outcomes.size(), photos.size());
  for (qsizetype i = 0; i < photos.size(); ++i) {
    if (i == 1) {
      continue;
    }
    EXPECT_EQ(outcomes[i].toObject()[QStringLiteral("error")].toString(),
              QStringLiteral("it has no capture time"));
    EXPECT_FALSE(QFile::exists(photos[i] + QStringLiteral(".xmp")));
    EXPECT_TRUE(
        result.err.contains((photos[i] + QStringLiteral(": it has no capture time")).toUtf8()));
  }
  EXPECT_TRUE(QFile::exists(dated + QStringLiteral(".xmp")));
}

}  // namespace
}  // namespace trevalo
