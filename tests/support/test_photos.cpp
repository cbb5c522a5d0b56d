#include "support/test_photos.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "photo/tiff_data.h"
#include "support/test_files.h"
#include "track/calendar_time.h"

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

bool MakePhotoTakenAt(const QString& path, const char* dateTime, const QStringList& tags) {
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
      QStringList{QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                  QStringLiteral("-DateTimeOriginal#=") + QString::fromLatin1(dateTime)} +
          tags + QStringList{path},
      &code);
  return code == 0;
}

QStringList MakePhotosASecondApart(const QString& folder, int count, TimeValue first) {
  QFile seed(SeedPhoto("le.jpg"));
  if (!seed.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray original = seed.readAll();
  const qsizetype date = original.indexOf("2009:05:17 12:00:00");  // its DateTimeOriginal
  QStringList paths;
  for (int i = 0; i < count; ++i) {
    const CalendarFields t = *BreakDown(first + i);
    QByteArray bytes = original;
    bytes.replace(date, 19,
                  QStringLiteral("%1:%2:%3 %4:%5:%6")
                      .arg(t.year, 4, 10, QLatin1Char('0'))
                      .arg(t.month, 2, 10, QLatin1Char('0'))
                      .arg(t.day, 2, 10, QLatin1Char('0'))
                      .arg(t.hour, 2, 10, QLatin1Char('0'))
                      .arg(t.minute, 2, 10, QLatin1Char('0'))
                      .arg(t.second, 2, 10, QLatin1Char('0'))
                      .toLatin1());
    paths << folder + QStringLiteral("/photo%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
    QFile out(paths.back());
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
      return {};
    }
  }
  return paths;
}

namespace {

void AppendBigEndian32(QByteArray& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes.append(static_cast<char>(value >> shift & 0xFF));
  }
}

QByteArray Box(const char* type, const QByteArray& payload) {
  QByteArray box;
  AppendBigEndian32(box, static_cast<std::uint32_t>(8 + payload.size()));
  box.append(type, 4);
  return box + payload;
}

// Little-endian TIFF data with one directory of ASCII entries (ascending tags).
QByteArray AsciiTiff(const std::vector<std::pair<std::uint16_t, std::string>>& entries) {
  std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const std::size_t count = entries.size();
  std::vector<std::uint8_t> table(2 + 12 * count + 4, 0);
  std::vector<std::uint8_t> values;
  PutU16(table.data(), static_cast<std::uint16_t>(count), ByteOrder::kLittle);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& text = entries[i].second;
    std::uint8_t* entry = table.data() + 2 + 12 * i;
    PutU16(entry, entries[i].first, ByteOrder::kLittle);
    PutU16(entry + 2, 2, ByteOrder::kLittle);
    PutU32(entry + 4, static_cast<std::uint32_t>(text.size() + 1), ByteOrder::kLittle);
    PutU32(entry + 8, static_cast<std::uint32_t>(8 + table.size() + values.size()),
           ByteOrder::kLittle);
    values.insert(values.end(), text.begin(), text.end());
    values.push_back(0);
    if (values.size() % 2 != 0) {
      values.push_back(0);
    }
  }
  tiff.insert(tiff.end(), table.begin(), table.end());
  tiff.insert(tiff.end(), values.begin(), values.end());
  return QByteArray(reinterpret_cast<const char*>(tiff.data()),
                    static_cast<qsizetype>(tiff.size()));
}

QByteArray CanonCr3(const char* dateTime) {
  std::vector<std::pair<std::uint16_t, std::string>> ifd0 = {{0x010F, "Canon"},
                                                             {0x0110, "Canon EOS R5"}};
  std::vector<std::pair<std::uint16_t, std::string>> exif;
  if (*dateTime != '\0') {
    exif.push_back({0x9003, dateTime});
  }
  const QByteArray canonUuid =
      QByteArray::fromHex("85c0b687820f11e08111f4ce462b6a48");  // Canon's metadata box
  const QByteArray canon =
      Box("uuid", canonUuid + Box("CNCV", "CanonCR3_001/00.09.00/00.00.00") +
                      Box("CMT1", AsciiTiff(ifd0)) + Box("CMT2", AsciiTiff(exif)));
  QByteArray brand("crx ");
  AppendBigEndian32(brand, 1);
  return Box("ftyp", brand + "crx isom") + Box("moov", canon);
}

}  // namespace

bool MakeOtherPhoto(const QString& path, const char* dateTime) {
  QFile::remove(path);
  if (path.endsWith(QStringLiteral(".cr3"), Qt::CaseInsensitive)) {
    WriteFile(path, CanonCr3(dateTime).toStdString());
    return true;
  }
  if (!HaveProgram(QStringLiteral("convert")) || !HaveProgram(QStringLiteral("exiftool"))) {
    return false;
  }
  const bool dng = path.endsWith(QStringLiteral(".dng"), Qt::CaseInsensitive);
  const QString drawn = dng ? path + QStringLiteral(".tif") : path;
  int code = -1;
  Run(QStringLiteral("convert"),
      {QStringLiteral("-size"), QStringLiteral("16x12"), QStringLiteral("xc:teal"), drawn}, &code);
  if (code != 0 || (dng && !QFile::rename(drawn, path))) {
    return false;
  }
  QStringList arguments{QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                        QStringLiteral("-Make=Trevalo"), QStringLiteral("-Model=Test")};
  if (*dateTime != '\0') {
    arguments << QStringLiteral("-DateTimeOriginal#=") + QString::fromLatin1(dateTime);
  }
  if (dng) {
    arguments << QStringLiteral("-DNGVersion=1.4.0.0");
  }
  Run(QStringLiteral("exiftool"), arguments << path, &code);
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
