#pragma once

#include <QIcon>
#include <QString>

namespace trevalo {

// The name the desktop knows the program by: its desktop entry, its AppStream id and its
// icon in the icon theme all carry it.
inline const QString kDesktopId = QStringLiteral("io.github.trevalo.Trevalo");

// The program's icon: the installed theme's when there is one, else the sizes built into
// the program (the same pictures, rendered from resources/icons/trevalo.svg).
QIcon AppIcon();

}  // namespace trevalo
