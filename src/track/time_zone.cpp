#include "track/time_zone.h"

#include <cstdlib>

namespace trevalo {

TimeValue ShiftByZone(TimeValue time, int zone) {
  const int magnitude = std::abs(zone);
  const TimeValue span = static_cast<TimeValue>(magnitude / 100) * 3600 + (magnitude % 100) * 60;
  return zone > 0 ? time + span : time - span;
}

std::optional<int> ParseZone(const QString& text) {
  QString digits = text.trimmed();
  int sign = 1;
  if (digits.startsWith(u'+') || digits.startsWith(u'-')) {
    sign = digits.startsWith(u'-') ? -1 : 1;
    digits.remove(0, 1);
  }
  if (digits.isEmpty() || digits.size() > 4) {
    return std::nullopt;
  }
  int value = 0;
  for (const QChar c : digits) {
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value % 100 >= 60 || value / 100 > 14) {
    return std::nullopt;
  }
  return sign * value;
}

QString ZoneOffsetText(int zone) {
  const int magnitude = std::abs(zone);
  return QString::asprintf("%c%02d:%02d", zone < 0 ? '-' : '+', magnitude / 100, magnitude % 100);
}

}  // namespace trevalo
