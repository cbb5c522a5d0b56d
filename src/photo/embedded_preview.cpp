#include "photo/embedded_preview.h"

#include <unistd.h>

#include <algorithm>
#include <memory>

#include <exiv2/exiv2.hpp>

#include "files/native_files.h"
#include "files/native_path.h"
#include "photo/exiv2_support.h"

namespace trevalo {
namespace {

// How many degrees clockwise the EXIF orientation turns the picture (1, 3, 6 and 8; the
// mirrored ones are not written by cameras).
int TurnOf(const Exiv2::ExifData& exif) {
  const auto datum = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
  if (datum == exif.end() || datum->count() == 0) {
    return 0;
  }
  switch (datum->toLong()) {
    case 3:
      return 180;
    case 6:
      return 90;
    case 8:
      return 270;
    default:
      return 0;
  }
}

}  // namespace

std::optional<EmbeddedPreview> FindEmbeddedPreview(const QString& path, int leastSide,
                                                   bool jpegOnly) {
  QString problem;
  const int fd = OpenRegularFile(path, problem);
  if (fd < 0) {
    return std::nullopt;  // never a pipe or a device
  }
  ::close(fd);
  PrepareExiv2();
  try {
    const std::unique_ptr<Exiv2::Image> image(
        Exiv2::ImageFactory::open(NativePath(path).toStdString()).release());
    image->readMetadata();
    Exiv2::PreviewManager manager(*image);
    std::optional<Exiv2::PreviewProperties> chosen;
    for (const Exiv2::PreviewProperties& properties : manager.getPreviewProperties()) {
      if (jpegOnly && properties.mimeType_ != "image/jpeg") {
        continue;
      }
      chosen = properties;  // listed from the smallest up
      if (static_cast<int>(std::max(properties.width_, properties.height_)) >= leastSide) {
        break;
      }
    }
    if (!chosen) {
      return std::nullopt;
    }
    const Exiv2::PreviewImage preview = manager.getPreviewImage(*chosen);
    EmbeddedPreview result;
    result.bytes = QByteArray(reinterpret_cast<const char*>(preview.pData()),
                              static_cast<qsizetype>(preview.size()));
    result.mimeType = preview.mimeType();
    result.width = static_cast<int>(preview.width());
    result.height = static_cast<int>(preview.height());
    result.turn = TurnOf(image->exifData());
    if (jpegOnly &&
        (result.bytes.size() < 2 || static_cast<unsigned char>(result.bytes[0]) != 0xFF ||
         static_cast<unsigned char>(result.bytes[1]) != 0xD8)) {
      return std::nullopt;  // said to be a JPEG, but is none
    }
    return result;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace trevalo
