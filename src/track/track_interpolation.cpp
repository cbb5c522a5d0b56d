#include "track/track_interpolation.h"

#include <cmath>

#include "track/geodesy.h"
#include "track/placed_point.h"

namespace trevalo {
namespace {

double SignedDegrees(double packed, const std::string& reference, char negative) {
  const double degrees = PackedToDegrees(packed);
  return !reference.empty() && reference[0] == negative ? -degrees : degrees;
}

}  // namespace

TrackPoint InterpolatedPoint(const TrackPoint& before, const TrackPoint& after,
                             const TrackPoint& nearer, TimeValue localTime) {
  const double share = static_cast<double>(localTime - before.localTime) /
                       static_cast<double>(after.localTime - before.localTime);
  return InterpolatedPointAt(before, after, nearer, share, localTime);
}

TrackPoint InterpolatedPointAt(const TrackPoint& before, const TrackPoint& after,
                               const TrackPoint& nearer, double share, TimeValue localTime) {
  TrackPoint point = nearer;
  point.isInterpolated = 1;
  point.isWaypoint = 0;
  point.isLap = 0;

  const double latitude0 = SignedDegrees(before.latitude, before.latitudeRef, 'S');
  const double latitude1 = SignedDegrees(after.latitude, after.latitudeRef, 'S');
  SetPackedDegrees(latitude0 + share * (latitude1 - latitude0), point.latitude, point.latitudeRef,
                   "NS");

  const double longitude0 = SignedDegrees(before.longitude, before.longitudeRef, 'W');
  double span = SignedDegrees(after.longitude, after.longitudeRef, 'W') - longitude0;
  if (span > 180) {
    span -= 360;
  } else if (span < -180) {
    span += 360;
  }
  double longitude = longitude0 + share * span;
  if (longitude > 180) {
    longitude -= 360;
  } else if (longitude < -180) {
    longitude += 360;
  }
  SetPackedDegrees(longitude, point.longitude, point.longitudeRef, "EW");

  if (before.ggaMatchesRmc == 1 && after.ggaMatchesRmc == 1) {
    const double altitude0 = before.SignedAltitude();
    const double altitude = altitude0 + share * (after.SignedAltitude() - altitude0);
    point.altitudeBelowSea = altitude < 0 ? 1 : 0;
    point.altitude = std::fabs(altitude);
  }

  // The fixes' own offset between local time and UTC.
  point.localTime = localTime;
  point.utcTime = localTime + (nearer.utcTime - nearer.localTime);
  point.dateStampText = DateStampText(localTime);
  if (const std::optional<CalendarFields> utc = BreakDown(point.utcTime)) {
    point.utcTimeOfDay = utc->hour * 10000 + utc->minute * 100 + utc->second;
  }
  return point;
}

}  // namespace trevalo
