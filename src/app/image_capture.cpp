#include "app/image_capture.h"

namespace trevalo {

Image ImageFromQImage(const QImage& image) {
  const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
  Image result;
  result.FromBitmap(bgr.width(), bgr.height(), bgr.constBits(),
                    static_cast<int>(bgr.bytesPerLine()));
  return result;
}

}  // namespace trevalo
