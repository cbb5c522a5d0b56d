#include "app/image_capture.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

#include "app/language.h"

namespace trevalo {

Image ImageFromQImage(const QImage& image) {
  const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
  Image result;
  result.FromBitmap(bgr.width(), bgr.height(), bgr.constBits(),
                    static_cast<int>(bgr.bytesPerLine()));
  return result;
}

QString CapturePath(const QString& chosen) {
  const QString suffix = QFileInfo(chosen).suffix();
  return suffix.compare(u"jpg", Qt::CaseInsensitive) == 0 ||
                 suffix.compare(u"jpeg", Qt::CaseInsensitive) == 0
             ? chosen
             : chosen + QStringLiteral(".JPG");
}

bool CaptureWindowToJpeg(QWidget* window, const QString& defaultName, const QRect& crop,
                         const LanguageTexts& texts, const QString& folder) {
  Image image = ImageFromQImage(window->grab().toImage());
  const QString chosen = QFileDialog::getSaveFileName(
      window, QString(), QDir(folder).filePath(defaultName), QStringLiteral("JPEG (*.jpg)"),
      nullptr, QFileDialog::DontConfirmOverwrite);
  if (chosen.isEmpty()) {
    return false;
  }
  const QString target = CapturePath(chosen);
  image.Crop(crop.left(), crop.top(), crop.left() + crop.width(), crop.top() + crop.height());
  if (QFileInfo::exists(target) &&
      QMessageBox::warning(window, QString(), texts.Text(QStringLiteral("SAVE_TEXT_OVERWRITE")),
                           QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
    return false;
  }
  if (!image.SaveJpeg(target)) {
    QMessageBox::warning(window, QString(), QStringLiteral("cannot write %1").arg(target));
    return false;
  }
  return true;
}

}  // namespace trevalo
