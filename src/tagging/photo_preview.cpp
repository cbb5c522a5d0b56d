#include "tagging/photo_preview.h"

#include <exiv2/exiv2.hpp>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTransform>

#include "files/native_files.h"
#include "files/native_path.h"
#include "photo/exiv2_support.h"

namespace trevalo {
namespace {

// Decodes at most `longestSide` pixels either way: a large JPEG is scaled by the decoder
// itself, which is many times faster than decoding it whole.
QImage ReadScaled(QImageReader& reader, int longestSide) {
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > longestSide || size.height() > longestSide)) {
    reader.setScaledSize(size.scaled(longestSide, longestSide, Qt::KeepAspectRatio));
  }
  return reader.read();
}

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

// The smallest preview the file carries that is at least `longestSide` either way (else
// its largest), turned upright.
QImage EmbeddedPreview(const QString& path, int longestSide) {
  PrepareExiv2();
  try {
    const std::unique_ptr<Exiv2::Image> image(
        Exiv2::ImageFactory::open(NativePath(path).toStdString()).release());
    image->readMetadata();
    Exiv2::PreviewManager manager(*image);
    const Exiv2::PreviewPropertiesList all = manager.getPreviewProperties();
    if (all.empty()) {
      return {};
    }
    auto chosen = all.back();  // listed from the smallest up
    for (const Exiv2::PreviewProperties& properties : all) {
      if (static_cast<int>(std::max(properties.width_, properties.height_)) >= longestSide) {
        chosen = properties;
        break;
      }
    }
    const Exiv2::PreviewImage preview = manager.getPreviewImage(chosen);
    QByteArray data(reinterpret_cast<const char*>(preview.pData()),
                    static_cast<qsizetype>(preview.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    QImage picture = ReadScaled(reader, longestSide);
    if (const int turn = TurnOf(image->exifData()); turn != 0 && !picture.isNull()) {
      picture = picture.transformed(QTransform().rotate(turn));
    }
    return picture;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

QByteArray PhotoPreviewJpeg(const QString& path, int longestSide) {
  QFile file;
  if (!OpenForReading(file, path).isEmpty()) {
    return {};  // nothing but a photo's own file is read, never a pipe or a device
  }
  QImageReader reader(&file);
  reader.setAutoTransform(true);
  QImage picture = reader.canRead() ? ReadScaled(reader, longestSide) : QImage();
  if (picture.isNull()) {
    picture = EmbeddedPreview(path, longestSide);
  }
  if (picture.isNull()) {
    return {};
  }
  if (picture.width() > longestSide || picture.height() > longestSide) {
    picture =
        picture.scaled(longestSide, longestSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  QByteArray jpeg;
  QBuffer out(&jpeg);
  out.open(QIODevice::WriteOnly);
  if (!picture.convertToFormat(QImage::Format_RGB888).save(&out, "JPEG", 85)) {
    return {};
  }
  return jpeg;
}

}  // namespace trevalo
