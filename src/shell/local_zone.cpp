#include "shell/local_zone.h"

#include <cstdlib>

#include <QDateTime>

namespace trevalo {

int ZoneFromUtcOffset(int offsetSeconds) {
  // The platform's bias: UTC = local + bias, in minutes.
  const int bias = -offsetSeconds / 60;
  const int magnitude = (std::abs(bias) / 60) * 100 + std::abs(bias) % 60;
  return bias > 0 ? -magnitude : magnitude;
}

int LocalZoneHHMM(const QTimeZone& zone) {
  return ZoneFromUtcOffset(zone.standardTimeOffset(QDateTime::currentDateTimeUtc()));
}

}  // namespace trevalo
