#include "tagging/photo_preview.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTransform>

#include "files/native_files.h"
#include "files/native_path.h"
#include "photo/embedded_preview.h"

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

// The smallest preview the file carries that is at least `longestSide` either way (else
// its largest), turned upright.
QImage EmbeddedPicture(const QString& path, int longestSide) {
  const std::optional<EmbeddedPreview> preview = FindEmbeddedPreview(path, longestSide, false);
  if (!preview) {
    return {};
  }
  QByteArray data = preview->bytes;
  QBuffer buffer(&data);
  QImageReader reader(&buffer);
  QImage picture = ReadScaled(reader, longestSide);
  if (preview->turn != 0 && !picture.isNull()) {
    picture = picture.transformed(QTransform().rotate(preview->turn));
  }
  return picture;
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
    picture = EmbeddedPicture(path, longestSide);
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
