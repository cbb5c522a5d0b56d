#pragma once
// Images from what the windows show, and saving a window's picture as a JPEG file.

#include <QImage>
#include <QRect>

#include "shell/image.h"

class QWidget;

namespace trevalo {

class LanguageTexts;

// The pixels of a QImage (a window grab, say) as an Image, and back.
Image ImageFromQImage(const QImage& image);
QImage QImageFromImage(const Image& image);

// The preview of a photo: decoded, turned upright by its EXIF orientation (3: 180 degrees,
// 6: 90, 8: 270), fitted into 640 x 480 on a light grey background. A null image when the
// photo cannot be decoded.
QImage PhotoPreview(const QString& path, int orientation);

// The path a capture is saved to: the chosen path with ".JPG" unless it already ends in
// ".jpg" or ".jpeg" (any case).
QString CapturePath(const QString& chosen);

// Saves `window`'s picture cut to `crop` as a JPEG the user names (`defaultName` offered),
// asking before replacing a file. A file that cannot be written is told. False when
// nothing was saved.
bool CaptureWindowToJpeg(QWidget* window, const QString& defaultName, const QRect& crop,
                         const LanguageTexts& texts, const QString& folder);

}  // namespace trevalo
