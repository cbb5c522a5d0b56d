// exiftool and exiv2 read what we write: the GPS tags exactly as meant, every other tag as it
// was, no new warning, the thumbnail and the image data untouched.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>

#include "support/test_files.h"
#include "tagging/exif_file.h"
#include "support/test_photos.h"

namespace trevalo {
namespace {

QJsonObject ExifTool(const QString& photo) {
  const QByteArray json =
      test::Run(QStringLiteral("exiftool"), {QStringLiteral("-j"), QStringLiteral("-n"),
                                             QStringLiteral("-G1"), QStringLiteral("-a"), photo});
  return QJsonDocument::fromJson(json).array().at(0).toObject();
}

// Every tag exiftool reads outside the GPS directory and the file's own properties.
QStringList TagsOutsideGps(const QString& photo) {
  const QByteArray text =
      test::Run(QStringLiteral("exiftool"),
                {QStringLiteral("-a"), QStringLiteral("-G1"), QStringLiteral("-s"), photo});
  QStringList tags;
  for (const QByteArray& line : text.split('\n')) {
    if (!line.startsWith("[GPS]") && !line.startsWith("[System]") && !line.startsWith("[File]") &&
        !line.startsWith("[Composite]") && !line.isEmpty()) {
      tags << QString::fromUtf8(line);
    }
  }
  return tags;
}

QByteArray Thumbnail(const QString& photo) {
  return test::Run(QStringLiteral("exiftool"),
                   {QStringLiteral("-b"), QStringLiteral("-ThumbnailImage"), photo});
}

QByteArray ImageData(const QString& photo) {
  return test::Segments(test::ReadFile(photo)).back().second;
}

class ExifPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveProgram(QStringLiteral("exiftool"))) {
      GTEST_SKIP() << "exiftool is not installed";
    }
    photos_ = test::RealPhotos();
    photos_.removeIf([](const QString& p) { return p.endsWith(QStringLiteral("Issue_609.jpg")); });
    if (!test::GeneratedPhotos().isEmpty()) {
      for (const QString& name : test::GeneratedPhotoNames()) {
        photos_ << test::GeneratedPhotos() + u'/' + name;
      }
    }
  }
  QString Tag(const QString& photo, const TrackPoint& point, int latitude = 0, int longitude = 0) {
    ExifFile file(photo, ExifFile::kRewrite);
    file.SetPositionCorrection(latitude, longitude);
    file.SetPositionSource(point);
    EXPECT_TRUE(file.ReadSections()) << file.errorText().toStdString();
    const QString out = dir_.filePath(QFileInfo(photo).fileName());
    EXPECT_EQ(file.WriteFile(out, false), QString());
    return out;
  }
  QStringList photos_;
  QTemporaryDir dir_;
};

TEST_F(ExifPeers, ReadTheGpsTagsAsMeant) {
  const TrackPoint point = test::SamplePoint();
  for (const QString& photo : photos_) {
    SCOPED_TRACE(photo.toStdString());
    const QJsonObject tags = ExifTool(Tag(photo, point));
    const auto value = [&](const char* name) {
      return tags.value(QStringLiteral("GPS:") + QString::fromLatin1(name));
    };
    EXPECT_EQ(value("GPSVersionID").toString(), QStringLiteral("2 2 0 0"));
    EXPECT_EQ(value("GPSLatitudeRef").toString(), QStringLiteral("S"));
    EXPECT_NEAR(value("GPSLatitude").toDouble(), 37 + 23 / 60.0 + 27.4 / 3600, 1e-9);
    EXPECT_EQ(value("GPSLongitudeRef").toString(), QStringLiteral("E"));
    EXPECT_NEAR(value("GPSLongitude").toDouble(), 126 + 58 / 60.0 + 7.4 / 3600, 1e-9);
    EXPECT_EQ(value("GPSAltitudeRef").toInt(), 0);
    EXPECT_DOUBLE_EQ(value("GPSAltitude").toDouble(), 45.3);
    EXPECT_EQ(value("GPSTimeStamp").toString(), QStringLiteral("12:35:19"));
    EXPECT_EQ(value("GPSDateStamp").toString(), QStringLiteral("2009:05:17"));
    EXPECT_EQ(value("GPSSatellites").toString(), QStringLiteral("08,01,40,083,46,02,17,308,41"));
    EXPECT_EQ(value("GPSStatus").toString(), QStringLiteral("A"));
    EXPECT_EQ(value("GPSMeasureMode").toInt(), 3);
    EXPECT_DOUBLE_EQ(value("GPSDOP").toDouble(), 2.5);
    EXPECT_EQ(value("GPSSpeedRef").toString(), QStringLiteral("K"));
    EXPECT_DOUBLE_EQ(value("GPSSpeed").toDouble(), 18.5);
    EXPECT_EQ(value("GPSTrackRef").toString(), QStringLiteral("T"));
    EXPECT_DOUBLE_EQ(value("GPSTrack").toDouble(), 84.4);
    EXPECT_EQ(value("GPSMapDatum").toString(), QStringLiteral("WGS-84"));
    EXPECT_EQ(value("GPSDifferential").toInt(), 1);
  }
}

TEST_F(ExifPeers, ReadCorrectedAndReducedDirectories) {
  TrackPoint point = test::SamplePoint();
  point.ggaMatchesRmc = 0;  // five entries only
  for (const QString& photo : photos_) {
    SCOPED_TRACE(photo.toStdString());
    // 5 arc seconds north moves the southern point towards the equator.
    const QJsonObject tags = ExifTool(Tag(photo, point, 500, -500));
    EXPECT_EQ(tags.value(QStringLiteral("GPS:GPSLatitudeRef")).toString(), QStringLiteral("S"));
    EXPECT_NEAR(tags.value(QStringLiteral("GPS:GPSLatitude")).toDouble(),
                37 + 23 / 60.0 + 22.4 / 3600, 1e-9);
    EXPECT_NEAR(tags.value(QStringLiteral("GPS:GPSLongitude")).toDouble(),
                126 + 58 / 60.0 + 2.4 / 3600, 1e-9);
    EXPECT_FALSE(tags.contains(QStringLiteral("GPS:GPSAltitude")));
    EXPECT_FALSE(tags.contains(QStringLiteral("GPS:GPSTimeStamp")));
  }
}

TEST_F(ExifPeers, LeaveEverythingElseAsItWas) {
  const TrackPoint point = test::SamplePoint();
  for (const QString& photo : photos_) {
    SCOPED_TRACE(photo.toStdString());
    const QString tagged = Tag(photo, point);
    // Warnings the original had are listed among the tags; no new one may appear.
    EXPECT_EQ(TagsOutsideGps(photo), TagsOutsideGps(tagged));
    EXPECT_FALSE(ExifTool(tagged).contains(QStringLiteral("ExifTool:Error")));
    EXPECT_EQ(Thumbnail(photo), Thumbnail(tagged));
    EXPECT_EQ(ImageData(photo), ImageData(tagged));
  }
}

TEST_F(ExifPeers, ThumbnailsStillDecode) {
  if (!test::HaveProgram(QStringLiteral("identify"))) {
    GTEST_SKIP() << "ImageMagick is not installed";
  }
  const TrackPoint point = test::SamplePoint();
  int thumbnails = 0;
  for (const QString& photo : photos_) {
    const QByteArray thumbnail = Thumbnail(Tag(photo, point));
    if (thumbnail.isEmpty()) {
      continue;
    }
    ++thumbnails;
    const QString file = dir_.filePath(QStringLiteral("thumbnail.jpg"));
    test::WriteFile(
        file, std::string_view(thumbnail.constData(), static_cast<std::size_t>(thumbnail.size())));
    int code = -1;
    test::Run(QStringLiteral("identify"), {QStringLiteral("-regard-warnings"), file}, &code);
    EXPECT_EQ(code, 0) << photo.toStdString();
  }
  EXPECT_GT(thumbnails, 0);
}

TEST_F(ExifPeers, Exiv2ReadsThePosition) {
  if (!test::HaveProgram(QStringLiteral("exiv2"))) {
    GTEST_SKIP() << "exiv2 is not installed";
  }
  const TrackPoint point = test::SamplePoint();
  for (const QString& photo : photos_) {
    SCOPED_TRACE(photo.toStdString());
    const QByteArray out =
        test::Run(QStringLiteral("exiv2"),
                  {QStringLiteral("-q"), QStringLiteral("-Pkv"), QStringLiteral("-g"),
                   QStringLiteral("Exif.GPSInfo."), Tag(photo, point)});
    QMap<QString, QString> values;  // key, value with its blanks folded
    for (const QByteArray& line : out.split('\n')) {
      const QString text = QString::fromUtf8(line).simplified();
      values.insert(text.section(u' ', 0, 0), text.section(u' ', 1));
    }
    EXPECT_EQ(values.value(QStringLiteral("Exif.GPSInfo.GPSLatitude")),
              QStringLiteral("37/1 23/1 274/10"));
    EXPECT_EQ(values.value(QStringLiteral("Exif.GPSInfo.GPSLongitude")),
              QStringLiteral("126/1 58/1 74/10"));
    EXPECT_EQ(values.value(QStringLiteral("Exif.GPSInfo.GPSLatitudeRef")), QStringLiteral("S"));
    EXPECT_EQ(values.value(QStringLiteral("Exif.GPSInfo.GPSAltitude")), QStringLiteral("453/10"));
    EXPECT_EQ(values.value(QStringLiteral("Exif.GPSInfo.GPSDateStamp")),
              QStringLiteral("2009:05:17"));
  }
}

}  // namespace
}  // namespace trevalo
