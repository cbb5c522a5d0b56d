#pragma once
// Images from what the windows show, and saving a window's picture as a JPEG file.

#include <QImage>
#include <QRect>

#include "app/image.h"

class QWidget;

namespace trevalo {

class LanguageTexts;

// The pixels of a QImage (a window grab, say) as an Image.
Image ImageFromQImage(const QImage& image);

// The path a capture is saved to: the chosen path with ".JPG" unless it already ends in
// ".jpg" or ".jpeg" (any case).
QString CapturePath(const QString& chosen);

// Saves `window`'s picture cut to `crop` as a JPEG the user names (`defaultName` offered),
// asking before replacing a file. A file that cannot be written is told. False when
// nothing was saved.
bool CaptureWindowToJpeg(QWidget* window, const QString& defaultName, const QRect& crop,
                         const LanguageTexts& texts, const QString& folder);

}  // namespace trevalo
