#include "widgets/app_icon.h"

namespace trevalo {

QIcon AppIcon() {
  QIcon builtIn;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    builtIn.addFile(QStringLiteral(":/icons/trevalo-%1.png").arg(size), QSize(size, size));
  }
  return QIcon::fromTheme(kDesktopId, builtIn);
}

}  // namespace trevalo
