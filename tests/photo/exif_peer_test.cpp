// exiftool and exiv2 read what we write: the GPS tags exactly as meant, every other tag as it
// was, no new warning, the thumbnail and the image data untouched.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "photo/exif_file.h"
#include "photo/tiff_data.h"
#include "support/test_files.h"
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

// exiftool's GPS tags of a photo tagged with the sample point, exactly as written.
void ExpectSamplePointTags(const QJsonObject& tags) {
  const auto value = [&](const char* name) {
    return tags.value(QStringLiteral("GPS:") + QString::fromLatin1(name));
  };
  EXPECT_EQ(value("GPSVersionID").toString(), QStringLiteral("2 2 0 0"));
  EXPECT_EQ(value("GPSLatitudeRef").toString(), QStringLiteral("S"));
  // The position as the log holds it (37 23.4567'), not cut to tenths of a second.
  EXPECT_NEAR(value("GPSLatitude").toDouble(), 37 + 23.4567 / 60, 1e-6);
  EXPECT_EQ(value("GPSLongitudeRef").toString(), QStringLiteral("E"));
  EXPECT_NEAR(value("GPSLongitude").toDouble(), 126 + 58.1234 / 60, 1e-6);
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

// exiv2's GPS tags of a photo tagged with the sample point, exactly as written.
void ExpectExiv2SamplePoint(const QString& tagged) {
  const QByteArray out = test::Run(
      QStringLiteral("exiv2"), {QStringLiteral("-q"), QStringLiteral("-Pkv"), QStringLiteral("-g"),
                                QStringLiteral("Exif.GPSInfo."), tagged});
  std::map<std::string, std::string> values;  // key, value with its blanks folded
  for (const QByteArray& line : out.split('\n')) {
    const QString text = QString::fromUtf8(line).simplified();
    if (!text.isEmpty()) {
      values[text.section(u' ', 0, 0).toStdString()] = text.section(u' ', 1).toStdString();
    }
  }
  const std::map<std::string, std::string> written = {
      {"Exif.GPSInfo.GPSVersionID", "2 2 0 0"},
      {"Exif.GPSInfo.GPSLatitudeRef", "S"},
      {"Exif.GPSInfo.GPSLatitude", "37/1 23/1 27402/1000"},
      {"Exif.GPSInfo.GPSLongitudeRef", "E"},
      {"Exif.GPSInfo.GPSLongitude", "126/1 58/1 7404/1000"},
      {"Exif.GPSInfo.GPSAltitudeRef", "0"},
      {"Exif.GPSInfo.GPSAltitude", "453/10"},
      {"Exif.GPSInfo.GPSTimeStamp", "12/1 35/1 19/1"},
      {"Exif.GPSInfo.GPSSatellites", "08,01,40,083,46,02,17,308,41"},
      {"Exif.GPSInfo.GPSStatus", "A"},
      {"Exif.GPSInfo.GPSMeasureMode", "3"},
      {"Exif.GPSInfo.GPSDOP", "25/10"},
      {"Exif.GPSInfo.GPSSpeedRef", "K"},
      {"Exif.GPSInfo.GPSSpeed", "185/10"},
      {"Exif.GPSInfo.GPSTrackRef", "T"},
      {"Exif.GPSInfo.GPSTrack", "8440/100"},
      {"Exif.GPSInfo.GPSMapDatum", "WGS-84"},
      {"Exif.GPSInfo.GPSDateStamp", "2009:05:17"},
      {"Exif.GPSInfo.GPSDifferential", "1"}};
  EXPECT_EQ(values, written);
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
  QString Tag(const QString& photo, const TrackPoint& point, int latitude = 0, int longitude = 0,
              const QString& name = {}) {
    ExifFile file(photo, ExifFile::kRewrite);
    file.SetPositionCorrection(latitude, longitude);
    file.SetPositionSource(point);
    EXPECT_TRUE(file.ReadSections()) << file.errorText().toStdString();
    const QString out = dir_.filePath(name.isEmpty() ? QFileInfo(photo).fileName() : name);
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
    ExpectSamplePointTags(ExifTool(Tag(photo, point)));
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
                37 + 23.4567 / 60 - 5.0 / 3600, 1e-6);
    EXPECT_NEAR(tags.value(QStringLiteral("GPS:GPSLongitude")).toDouble(),
                126 + 58.1234 / 60 - 5.0 / 3600, 1e-6);
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
    ExpectExiv2SamplePoint(Tag(photo, point));
  }
}

// Where the directories of a photo's EXIF data lie (offsets from its TIFF header), and the
// entries a hostile copy of the photo changes (positions in the file).
struct ExifLayout {
  ByteOrder order = ByteOrder::kLittle;
  qsizetype tiffStart = 0;
  std::optional<std::uint32_t> ifd0, exif, interop, ifd1, gps;
  qsizetype gpsPointer = 0;    // IFD0's GPS pointer entry
  qsizetype exposureTime = 0;  // the Exif IFD's ExposureTime entry
  std::uint32_t latitudeValue = 0;

  explicit ExifLayout(const QByteArray& file) {
    const test::ExifTiffSpan span = test::FindExifTiff(file);
    tiffStart = span.start;
    const auto* tiff = reinterpret_cast<const std::uint8_t*>(file.constData()) + span.start;
    order = tiff[0] == 'I' ? ByteOrder::kLittle : ByteOrder::kBig;
    const TiffData d({tiff, static_cast<std::size_t>(span.length)}, order);
    // The entry of `tag` in the directory at `directory`: its offset, and the value it holds.
    const auto entry = [&](std::optional<std::uint32_t> directory,
                           std::uint16_t tag) -> std::optional<std::uint32_t> {
      for (std::uint32_t i = 0; directory && i < d.U16(*directory); ++i) {
        if (d.U16(*directory + 2 + 12 * i) == tag) {
          return *directory + 2 + 12 * i;
        }
      }
      return std::nullopt;
    };
    const auto target = [&](std::optional<std::uint32_t> at) -> std::optional<std::uint32_t> {
      return at ? std::optional(d.U32(*at + 8)) : std::nullopt;
    };
    ifd0 = d.U32(4);
    exif = target(entry(ifd0, 0x8769));
    interop = target(entry(exif, 0xA005));
    gps = target(entry(ifd0, 0x8825));
    const std::uint32_t link = d.U32(*ifd0 + 2 + 12 * d.U16(*ifd0));
    ifd1 = link != 0 ? std::optional(link) : std::nullopt;
    gpsPointer = entry(ifd0, 0x8825).value_or(0) + (gps ? tiffStart : 0);
    exposureTime = entry(exif, 0x829A).value_or(0) + tiffStart;
    latitudeValue = target(entry(gps, 2)).value_or(0);
  }
  void Put(QByteArray& file, qsizetype at, std::uint32_t value) const {
    PutU32(reinterpret_cast<std::uint8_t*>(file.data()) + at, value, order);
  }
};

// What our reader and exiftool read outside the GPS directory.
struct TagsBeside {
  PhotoInfo info;
  QJsonObject exiftool;
};

TagsBeside ReadTagsBeside(const QString& photo) {
  ExifFile file(photo, ExifFile::kReadOnly);
  EXPECT_TRUE(file.ReadSections()) << photo.toStdString();
  QJsonObject tags = ExifTool(photo);
  for (const QString& key : tags.keys()) {
    if (key == QStringLiteral("SourceFile") || key.startsWith(QStringLiteral("GPS:")) ||
        key.startsWith(QStringLiteral("System:")) || key.startsWith(QStringLiteral("File:")) ||
        key.startsWith(QStringLiteral("Composite:"))) {
      tags.remove(key);
    }
  }
  return {file.info(), tags};
}

// The tags of `before` that `after` lacks or holds with another value. A warning of
// exiftool's is no tag: it may go, when the sharing it was about is gone.
std::vector<std::string> LostOrChangedTags(const QJsonObject& before, const QJsonObject& after) {
  std::vector<std::string> changed;
  for (const QString& key : before.keys()) {
    if (key != QStringLiteral("ExifTool:Warning") && before.value(key) != after.value(key)) {
      changed.push_back(key.toStdString());
    }
  }
  return changed;
}

// Photos whose GPS pointer names a directory that is no GPS directory, or whose GPS
// directory shares its values with another entry: tagging them appends a new GPS directory
// and leaves every byte that was there as it was, but the GPS pointer.
class SharedGpsDirectory : public ExifPeers {
 protected:
  // Copies of `photo` with IFD0's GPS pointer turned to each of its other directories.
  void AddPointerCases(const QString& photo) {
    const QByteArray bytes = test::ReadFile(photo);
    const ExifLayout layout(bytes);
    ASSERT_NE(layout.gpsPointer, 0) << photo.toStdString();
    const std::pair<const char*, std::optional<std::uint32_t>> targets[] = {
        {"exif", layout.exif},
        {"ifd0", layout.ifd0},
        {"ifd1", layout.ifd1},
        {"interop", layout.interop}};
    for (const auto& [name, target] : targets) {
      if (target) {
        QByteArray hostile = bytes;
        layout.Put(hostile, layout.gpsPointer + 8, *target);
        Add(QFileInfo(photo).baseName() + QStringLiteral("_gps_at_") + QString::fromLatin1(name),
            hostile);
      }
    }
  }
  // A copy whose ExposureTime value is the first rational of the GPS latitude.
  void AddSharedValueCase(const QString& photo) {
    QByteArray bytes = test::ReadFile(photo);
    const ExifLayout layout(bytes);
    ASSERT_NE(layout.latitudeValue, 0u);
    ASSERT_NE(layout.exposureTime, layout.tiffStart);
    layout.Put(bytes, layout.exposureTime + 8, layout.latitudeValue);
    Add(QFileInfo(photo).baseName() + QStringLiteral("_shared_value"), bytes);
  }
  void Add(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(QStringLiteral("hostile/") + name + QStringLiteral(".jpg"));
    test::WriteFile(path,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    cases_ << path;
  }
  QStringList cases_;
};

TEST_F(SharedGpsDirectory, TaggingKeepsEveryOtherTag) {
  if (!test::TestDataFolder().isEmpty()) {
    AddPointerCases(test::TestDataFolder() + QStringLiteral("/jpeg/ianare_Canon_40D.jpg"));
  }
  if (!test::GeneratedPhotos().isEmpty()) {
    AddPointerCases(test::GeneratedPhotos() + QStringLiteral("/with_gps.jpg"));
    AddSharedValueCase(test::GeneratedPhotos() + QStringLiteral("/with_gps.jpg"));
  }
  if (cases_.isEmpty()) {
    GTEST_SKIP() << "no photos";
  }
  const TrackPoint point = test::SamplePoint();
  for (const QString& photo : cases_) {
    SCOPED_TRACE(photo.toStdString());
    const QString tagged = Tag(photo, point, 0, 0, QStringLiteral("once.jpg"));
    const TagsBeside before = ReadTagsBeside(photo);
    const TagsBeside after = ReadTagsBeside(tagged);
    EXPECT_TRUE(before.info == after.info);
    EXPECT_EQ(LostOrChangedTags(before.exiftool, after.exiftool), std::vector<std::string>());
    // No new warning: at most the one the original had.
    if (after.exiftool.contains(QStringLiteral("ExifTool:Warning"))) {
      EXPECT_EQ(after.exiftool.value(QStringLiteral("ExifTool:Warning")),
                before.exiftool.value(QStringLiteral("ExifTool:Warning")));
    }
    EXPECT_FALSE(after.exiftool.contains(QStringLiteral("ExifTool:Error")));
    ExpectSamplePointTags(ExifTool(tagged));
    if (test::HaveProgram(QStringLiteral("exiv2"))) {
      ExpectExiv2SamplePoint(tagged);
    }
    // Every byte of the old TIFF data is where it was, but IFD0's GPS pointer entry.
    const QByteArray old = test::ReadFile(photo);
    const QByteArray written = test::ReadFile(tagged);
    const ExifLayout layout(old);
    const qsizetype pointerEnd = layout.gpsPointer + 12;
    const qsizetype tiffEnd = layout.tiffStart + test::FindExifTiff(old).length;
    EXPECT_EQ(old.mid(layout.tiffStart, layout.gpsPointer - layout.tiffStart),
              written.mid(layout.tiffStart, layout.gpsPointer - layout.tiffStart));
    EXPECT_EQ(old.mid(pointerEnd, tiffEnd - pointerEnd),
              written.mid(pointerEnd, tiffEnd - pointerEnd));
    EXPECT_EQ(ImageData(photo), ImageData(tagged));

    const QString twice = Tag(tagged, point, 0, 0, QStringLiteral("twice.jpg"));
    EXPECT_EQ(test::ReadFile(tagged), test::ReadFile(twice));
  }
}

}  // namespace
}  // namespace trevalo
