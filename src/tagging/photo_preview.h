#pragma once
// The small preview of a photo that a map popup shows: the photo itself, scaled while it is
// decoded (JPEG, PNG, TIFF and what else Qt reads), or the preview a RAW or HEIF file
// carries (through Exiv2), upright as the camera held it, as a JPEG.

#include <QByteArray>
#include <QString>

namespace trevalo {

inline constexpr int kPhotoPreviewSide = 160;

// JPEG data at most `longestSide` pixels either way; empty when the file is no photo that
// can be shown.
QByteArray PhotoPreviewJpeg(const QString& path, int longestSide = kPhotoPreviewSide);

}  // namespace trevalo
