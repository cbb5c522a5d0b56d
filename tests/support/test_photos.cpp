#include "support/test_photos.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "core/calendar_time.h"
#include "support/test_files.h"

namespace trevalo::test {

bool HaveProgram(const QString& name) {
  return !QStandardPaths::findExecutable(name).isEmpty();
}

namespace {

// Appends a comment segment after the last APPn segment of a JPEG file.
void AddComment(const QString& path, const QByteArray& text) {
  QByteArray bytes = ReadFile(path);
  qsizetype at = 2;
  while (at + 4 <= bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xFF &&
         (static_cast<unsigned char>(bytes[at + 1]) & 0xF0) == 0xE0) {
    at += 2 + (static_cast<unsigned char>(bytes[at + 2]) << 8 |
               static_cast<unsigned char>(bytes[at + 3]));
  }
  const qsizetype length = text.size() + 2;
  QByteArray segment("\xFF\xFE", 2);
  segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length)).append(text);
  bytes.insert(at, segment);
  WriteFile(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString MakePhotos() {
  if (!HaveProgram(QStringLiteral("convert")) || !HaveProgram(QStringLiteral("exiftool"))) {
    return {};
  }
  static QTemporaryDir folder;
  const auto path = [&](const char* name) { return folder.filePath(QString::fromLatin1(name)); };
  const auto convert = [&](const QStringList& arguments) {
    int code = 0;
    Run(QStringLiteral("convert"), arguments, &code);
    EXPECT_EQ(code, 0) << "convert " << arguments.join(u' ').toStdString();
  };
  const auto exiftool = [&](QStringList arguments) {
    int code = 0;
    arguments.prepend(QStringLiteral("-overwrite_original"));
    Run(QStringLiteral("exiftool"), arguments, &code);
    EXPECT_EQ(code, 0) << "exiftool " << arguments.join(u' ').toStdString();
  };
  convert({QStringLiteral("-size"), QStringLiteral("96x64"),
           QStringLiteral("gradient:#3060a0-#e0c040"), QStringLiteral("-quality"),
           QStringLiteral("85"), path("jfif_only.jpg")});
  convert({QStringLiteral("-size"), QStringLiteral("32x24"), QStringLiteral("gradient:red-blue"),
           path("thumb.jpg")});
  const QStringList cameraTags = {QStringLiteral("-Make=Trevalo Test"),
                                  QStringLiteral("-Model=Camera 1"),
                                  QStringLiteral("-DateTimeOriginal=2009:05:17 21:35:19"),
                                  QStringLiteral("-CreateDate=2009:05:17 21:35:19"),
                                  QStringLiteral("-ModifyDate=2010:01:01 00:00:00"),
                                  QStringLiteral("-ExposureTime=1/250"),
                                  QStringLiteral("-FNumber=5.6"),
                                  QStringLiteral("-ISO=200"),
                                  QStringLiteral("-FocalLength=35"),
                                  QStringLiteral("-Orientation#=6"),
                                  QStringLiteral("-ThumbnailImage<=") + path("thumb.jpg")};
  for (const char* order : {"II", "MM"}) {
    const QString name =
        path(order == std::string_view("II") ? "le_thumbnail.jpg" : "be_thumbnail.jpg");
    QFile::copy(path("jfif_only.jpg"), name);
    // Drop JFIF so the EXIF segment comes first, as cameras write it.
    exiftool(QStringList{QStringLiteral("-JFIF:all="),
                         QStringLiteral("-ExifByteOrder=") + QString::fromLatin1(order)} +
             cameraTags + QStringList{name});
  }
  QFile::copy(path("le_thumbnail.jpg"), path("with_gps.jpg"));
  exiftool({QStringLiteral("-GPSLatitude=10.5"), QStringLiteral("-GPSLatitudeRef=S"),
            QStringLiteral("-GPSLongitude=20.25"), QStringLiteral("-GPSLongitudeRef=W"),
            QStringLiteral("-GPSAltitude=100"), QStringLiteral("-GPSMapDatum=WGS-84"),
            path("with_gps.jpg")});
  QFile::copy(path("jfif_only.jpg"), path("jfif_exif_xmp.jpg"));
  exiftool(cameraTags + QStringList{QStringLiteral("-XMP-dc:Title=Trevalo test photo"),
                                    path("jfif_exif_xmp.jpg")});
  AddComment(path("jfif_exif_xmp.jpg"), "first comment");
  AddComment(path("jfif_exif_xmp.jpg"), "second comment");
  AddComment(path("jfif_only.jpg"), "first comment");
  AddComment(path("jfif_only.jpg"), "second comment");
  QFile::remove(path("thumb.jpg"));
  return folder.path();
}

}  // namespace

QString GeneratedPhotos() {
  static const QString folder = MakePhotos();
  return folder;
}

QStringList GeneratedPhotoNames() {
  return {QStringLiteral("le_thumbnail.jpg"), QStringLiteral("be_thumbnail.jpg"),
          QStringLiteral("with_gps.jpg"), QStringLiteral("jfif_exif_xmp.jpg"),
          QStringLiteral("jfif_only.jpg")};
}

namespace {

QString SeedPhoto(const char* name) {
  return SourceFolder() + QStringLiteral("/fuzz/corpus/exif_file/") + QLatin1String(name);
}

}  // namespace

QString SeedPhotosMissing() {
  if (const QString missing = SourceFolderMissing(); !missing.isEmpty()) {
    return missing;
  }
  for (const char* name : {"le.jpg", "plain.jpg"}) {
    if (!QFileInfo::exists(SeedPhoto(name))) {
      return SeedPhoto(name) + QStringLiteral(" is not there");
    }
  }
  return {};
}

bool MakePhotoTakenAt(const QString& path, const char* dateTime) {
  if (!HaveProgram(QStringLiteral("exiftool"))) {
    return false;
  }
  QFile::remove(path);
  if (!QFile::copy(SeedPhoto("le.jpg"), path)) {
    return false;
  }
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  int code = -1;
  Run(QStringLiteral("exiftool"),
      {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
       QStringLiteral("-DateTimeOriginal#=") + QString::fromLatin1(dateTime), path},
      &code);
  return code == 0;
}

QStringList RealPhotos() {
  const QString data = TestDataFolder();
  if (data.isEmpty()) {
    return {};
  }
  QStringList photos;
  for (const QString& name : QDir(data + QStringLiteral("/jpeg"))
                                 .entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) {
    photos << data + QStringLiteral("/jpeg/") + name;
  }
  return photos;
}

QByteArray JpegWithExif(std::span<const std::uint8_t> tiff) {
  QByteArray photo = ReadFile(SeedPhoto("plain.jpg"));
  EXPECT_TRUE(photo.startsWith("\xFF\xD8\xFF\xE0")) << "plain.jpg is no JFIF photo";
  const qsizetype length = 2 + 6 + static_cast<qsizetype>(tiff.size());
  EXPECT_LE(length, 65535);
  QByteArray segment("\xFF\xE1", 2);
  segment.append(static_cast<char>(length >> 8)).append(static_cast<char>(length & 0xFF));
  segment.append("Exif\0\0", 6);
  segment.append(reinterpret_cast<const char*>(tiff.data()), static_cast<qsizetype>(tiff.size()));
  // After the JFIF segment, where cameras that write both put it.
  const qsizetype afterJfif =
      4 + (static_cast<unsigned char>(photo[4]) << 8 | static_cast<unsigned char>(photo[5]));
  photo.insert(afterJfif, segment);
  return photo;
}

ExifTiffSpan FindExifTiff(const QByteArray& file) {
  qsizetype at = 2;
  while (at + 4 <= file.size() && static_cast<unsigned char>(file[at]) == 0xFF) {
    const int marker = static_cast<unsigned char>(file[at + 1]);
    const qsizetype length =
        static_cast<unsigned char>(file[at + 2]) << 8 | static_cast<unsigned char>(file[at + 3]);
    if (marker == 0xE1 && file.mid(at + 4, 6) == QByteArray("Exif\0\0", 6)) {
      return {at + 10, length - 8};
    }
    if (marker == 0xDA) {
      break;
    }
    at += 2 + length;
  }
  return {};
}

// The segments of a JPEG file: marker and bytes, the image data last (marker 0).
std::vector<std::pair<int, QByteArray>> Segments(const QByteArray& file) {
  std::vector<std::pair<int, QByteArray>> segments;
  qsizetype at = 2;
  while (at + 4 <= file.size()) {
    while (at < file.size() && static_cast<unsigned char>(file[at]) == 0xFF) {
      ++at;
    }
    const int marker = static_cast<unsigned char>(file[at++]);
    const qsizetype length =
        static_cast<unsigned char>(file[at]) << 8 | static_cast<unsigned char>(file[at + 1]);
    segments.push_back({marker, file.mid(at, length)});
    at += length;
    if (marker == 0xDA) {
      segments.push_back({0, file.mid(at)});
      break;
    }
  }
  return segments;
}

}  // namespace trevalo::test
