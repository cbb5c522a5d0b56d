#pragma once
// Images from what the windows show.

#include <QImage>

#include "app/image.h"

namespace trevalo {

// The pixels of a QImage (a window grab, say) as an Image.
Image ImageFromQImage(const QImage& image);

}  // namespace trevalo
