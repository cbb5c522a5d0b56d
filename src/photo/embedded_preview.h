#pragma once
// The pictures a RAW or HEIF photo carries of itself, read through Exiv2 as they are (no
// decoding, so the engine needs no image library).

#include <climits>
#include <optional>
#include <string>

#include <QByteArray>
#include <QString>

namespace trevalo {

struct EmbeddedPreview {
  QByteArray bytes;
  std::string mimeType;  // "image/jpeg", "image/tiff", ...
  int width = 0;
  int height = 0;
  int turn = 0;  // degrees clockwise the photo's EXIF orientation turns it upright
};

// The smallest preview the photo at `path` (a regular file) carries that is at least
// `leastSide` pixels either way, else its largest; only JPEG previews when `jpegOnly`. None
// when it holds none or cannot be read.
std::optional<EmbeddedPreview> FindEmbeddedPreview(const QString& path, int leastSide,
                                                   bool jpegOnly);

// Its largest JPEG preview, as a document shows the photo.
inline std::optional<EmbeddedPreview> LargestJpegPreview(const QString& path) {
  return FindEmbeddedPreview(path, INT_MAX, true);
}

}  // namespace trevalo
