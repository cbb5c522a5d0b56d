#pragma once
// Names in the order people read them: runs of digits by their value (IMG_9 before IMG_10),
// the rest without regard to case. The same on every system, whatever its locale.

#include <QStringView>

namespace trevalo {

// Negative, zero or positive as `a` comes before, with or after `b`.
int NaturalCompare(QStringView a, QStringView b);

}  // namespace trevalo
