#include "library/time_zone_list.h"

#include <algorithm>
#include <cstdlib>

namespace trevalo {

QString ZoneText(int zone, const QString& gmt) {
  if (zone == 0) {
    return gmt;
  }
  const int magnitude = std::abs(zone);
  return gmt + QString::asprintf(zone > 0 ? " +%02d:%02d" : " -%02d:%02d", magnitude / 100,
                                 magnitude % 100);
}

int ZoneListIndex(int zone) {
  const auto found = std::find(kTimeZoneList.begin(), kTimeZoneList.end(), zone);
  return found == kTimeZoneList.end() ? -1 : static_cast<int>(found - kTimeZoneList.begin());
}

int SelectedZone(int entryIndex, int currentZone) {
  return entryIndex >= 0 && entryIndex < static_cast<int>(kTimeZoneList.size())
             ? kTimeZoneList[static_cast<std::size_t>(entryIndex)]
             : currentZone;
}

}  // namespace trevalo
