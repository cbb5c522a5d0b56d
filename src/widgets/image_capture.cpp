#include "widgets/image_capture.h"

#include <cstring>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTransform>
#include <QWidget>

#include "shell/language.h"
#include "widgets/plain_text.h"
#include "widgets/written_summary.h"

namespace trevalo {

Image ImageFromQImage(const QImage& image) {
  const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
  Image result;
  result.FromBitmap(bgr.width(), bgr.height(), bgr.constBits(),
                    static_cast<int>(bgr.bytesPerLine()));
  return result;
}

QImage QImageFromImage(const Image& image) {
  if (image.empty()) {
    return {};
  }
  QImage result(image.width(), image.height(), QImage::Format_BGR888);
  for (int y = 0; y < image.height(); ++y) {
    std::memcpy(result.scanLine(y), image.row(y), static_cast<std::size_t>(image.width()) * 3);
  }
  return result;
}

QImage PhotoPreview(const QString& path, int orientation) {
  Image photo;
  if (!photo.LoadJpeg(path)) {
    return {};
  }
  const int degrees = orientation == 3 ? 180 : orientation == 6 ? 90 : orientation == 8 ? 270 : 0;
  if (degrees != 0) {
    photo = ImageFromQImage(QImageFromImage(photo).transformed(QTransform().rotate(degrees)));
  }
  photo.Thumbnail(640, 480, 0xEBEBEB);
  return QImageFromImage(photo);
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
  // Messages carry the title of the window captured, not the program's name.
  const QString title = window->window()->windowTitle();
  if (QFileInfo::exists(target) &&
      ShowPlainWarning(window, title,
                       texts.Text(QStringLiteral("SAVE_TEXT_OVERWRITE")) + u'\n' + target,
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
    return false;
  }
  if (!image.SaveJpeg(target)) {
    ShowPlainWarning(window, title, QStringLiteral("cannot write %1").arg(target));
    return false;
  }
  TellWritten(window, title, {target}, texts);
  return true;
}

}  // namespace trevalo
