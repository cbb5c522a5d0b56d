#pragma once

#include <QIcon>

namespace trevalo {

// The program's icon: a map pin over a track, drawn at the sizes window managers ask for.
QIcon AppIcon();

}  // namespace trevalo
