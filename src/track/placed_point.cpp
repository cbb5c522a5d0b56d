#include "track/placed_point.h"

#include <cmath>

namespace trevalo {

double PackDegrees(double degrees) {
  const double whole = std::trunc(degrees);
  return whole * 100 + (degrees - whole) * 60;
}

void SetPackedDegrees(double degrees, double& packed, std::string& reference, const char* letters) {
  packed = PackDegrees(std::fabs(degrees));
  reference = std::string(1, degrees < 0 ? letters[1] : letters[0]);
}

bool IsPlaceablePosition(const PlacedPosition& position) {
  constexpr double kHighestAltitude = 100'000;
  return std::isfinite(position.latitude) && std::isfinite(position.longitude) &&
         std::fabs(position.latitude) <= 90 && std::fabs(position.longitude) <= 180 &&
         position.latitude != 0 && position.longitude != 0 &&
         (!position.altitude ||
          (std::isfinite(*position.altitude) && std::fabs(*position.altitude) <= kHighestAltitude));
}

TrackPoint PlacedPoint(const PlacedPosition& position) {
  TrackPoint point;
  point.isPlaced = 1;
  point.isValid = 1;
  SetPackedDegrees(position.latitude, point.latitude, point.latitudeRef, "NS");
  SetPackedDegrees(position.longitude, point.longitude, point.longitudeRef, "EW");
  if (position.altitude) {
    point.hasPlacedAltitude = 1;
    point.altitudeBelowSea = *position.altitude < 0 ? 1 : 0;
    point.altitude = std::fabs(*position.altitude);
  }
  return point;
}

}  // namespace trevalo
