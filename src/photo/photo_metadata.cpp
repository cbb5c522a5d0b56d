#include "photo/photo_metadata.h"

#include <algorithm>
#include <memory>

#include <QFile>

#include <exiv2/exiv2.hpp>

#include "files/native_files.h"
#include "files/native_path.h"
#include "photo/capture_time.h"
#include "photo/exif_file.h"
#include "photo/exiv2_support.h"
#include "photo/tiff_structure.h"

namespace trevalo {
namespace {

PhotoMetadata ReadJpeg(const QString& path) {
  PhotoMetadata result;
  result.jpeg = true;
  result.format = QStringLiteral("JPEG");
  ExifFile photo(path, ExifFile::kReadOnly);
  result.read = photo.ReadSections();
  result.info = photo.info();
  result.gps = photo.existingGps();
  result.problem = photo.errorText();
  result.invalidDateTime = photo.invalidDateTime();
  if (!result.read) {
    // It begins as a JPEG does: what stops the reading is damage, or an impossible date.
    result.problemKind =
        result.invalidDateTime ? PhotoProblem::kImpossibleDate : PhotoProblem::kDamaged;
  }
  return result;
}

// "YYYY-MM-DDThh:mm:ss..." of XMP as the EXIF form "YYYY:MM:DD hh:mm:ss"; empty when the
// text holds no time of day.
std::string ExifDateOfXmp(const std::string& text) {
  if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T') {
    return {};
  }
  std::string date = text.substr(0, 19);
  date[4] = ':';
  date[7] = ':';
  date[10] = ' ';
  return date;
}

// The time the photo was taken, never the time it was last changed (IFD0's DateTime, which
// image editors set): a photo that has only that is refused rather than placed where its
// editor was. JPEG photos keep the rules of our own reader.
std::string ExifCaptureDate(const Exiv2::ExifData& exif) {
  for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized"}) {
    const auto datum = exif.findKey(Exiv2::ExifKey(key));
    if (datum != exif.end() && datum->size() >= 19) {
      return datum->toString().substr(0, 19);
    }
  }
  return {};
}

// An image that carries its capture time only in XMP (as some PNG and WebP writers do):
// the date, and the fraction of its second and its zone where the text goes on with them
// ("2021-02-13T11:03:31.864-06:00").
void ReadXmpCaptureTime(const Exiv2::XmpData& xmp, PhotoInfo& info) {
  for (const char* key :
       {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"}) {
    const auto datum = xmp.findKey(Exiv2::XmpKey(key));
    if (datum == xmp.end()) {
      continue;
    }
    const std::string text = datum->toString();
    if (std::string date = ExifDateOfXmp(text); !date.empty()) {
      info.dateTime = std::move(date);
      std::string_view rest = std::string_view(text).substr(19);
      if (rest.starts_with('.')) {
        const std::size_t end = std::min(rest.find_first_not_of("0123456789", 1), rest.size());
        info.subSecTimeOriginal = std::string(rest.substr(1, end - 1));
        rest.remove_prefix(end);
      }
      if (const std::optional<int> zone = ZoneOffsetSeconds(rest)) {
        info.offsetTimeOriginal = OffsetSecondsText(*zone);
      }
      return;
    }
  }
}

bool IsKnownImage(const std::string& file) {
  try {
    return Exiv2::ImageFactory::getType(file) != Exiv2::ImageType::none;
  } catch (const std::exception&) {
    return false;  // too short to tell
  }
}

PhotoMetadata ReadWithExiv2(const QString& path) {
  PhotoMetadata result;
  PrepareExiv2();
  try {
    const std::string file = NativePath(path).toStdString();
    if (!IsKnownImage(file)) {
      // Neither a JPEG nor any other kind of photo: told as it always was.
      result.problem = QStringLiteral("not a JPEG file");
      result.problemKind = PhotoProblem::kNotAPhoto;
      return result;
    }
    const std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(file).release());
    image->readMetadata();
    result.format = QString::fromStdString(image->mimeType());
    // The EXIF data laid out as TIFF again and summarised by the reader JPEG photos use, so
    // that every kind of photo is read by the same rules.
    Exiv2::Blob tiff;
    if (!image->exifData().empty()) {
      Exiv2::ExifParser::encode(tiff, Exiv2::littleEndian, image->exifData());
    }
    if (!tiff.empty()) {
      const TiffReadResult read = ReadTiff(tiff, result.info, [](std::string_view) {});
      result.gps = read.gps;
    }
    result.info.dateTime = ExifCaptureDate(image->exifData());
    if (result.info.dateTime.empty()) {
      ReadXmpCaptureTime(image->xmpData(), result.info);
    }
    if (image->pixelWidth() > 0 && image->pixelHeight() > 0) {
      result.info.width = static_cast<int>(image->pixelWidth());
      result.info.height = static_cast<int>(image->pixelHeight());
    }
  } catch (const std::exception& error) {
    result.problem = Exiv2Problem(error);
    result.problemKind = PhotoProblem::kDamaged;
    return result;
  }
  if (!result.info.dateTime.empty() && result.info.dateTime[0] == '0') {
    result.invalidDateTime = true;
    result.problemKind = PhotoProblem::kImpossibleDate;
    result.problem = QString::fromLatin1(kInvalidDateTimeMessage);
    return result;
  }
  result.read = true;
  return result;
}

}  // namespace

bool IsJpegFile(const QString& path) {
  QFile file;
  if (!OpenForReading(file, path).isEmpty()) {
    return false;
  }
  const QByteArray start = file.read(2);
  return start.size() == 2 && static_cast<unsigned char>(start[0]) == 0xFF &&
         static_cast<unsigned char>(start[1]) == 0xD8;
}

PhotoMetadata ReadPhotoMetadata(const QString& path) {
  QFile file;
  if (const QString problem = OpenForReading(file, path); !problem.isEmpty()) {
    PhotoMetadata result;
    result.problem = problem;
    result.problemKind = PhotoProblem::kUnreadable;
    return result;
  }
  file.close();
  return IsJpegFile(path) ? ReadJpeg(path) : ReadWithExiv2(path);
}

QStringList PhotoFilePatterns() {
  static const char* const kExtensions[] = {"jpg",  "jpeg", "cr2", "cr3", "nef",  "arw",
                                            "dng",  "orf",  "rw2", "pef", "heic", "heif",
                                            "avif", "webp", "png", "tif", "tiff"};
  QStringList patterns;
  for (const char* extension : kExtensions) {
    patterns << QStringLiteral("*.") + QLatin1String(extension)
             << QStringLiteral("*.") + QString::fromLatin1(extension).toUpper();
  }
  return patterns;
}

}  // namespace trevalo
