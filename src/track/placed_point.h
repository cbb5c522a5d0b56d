#pragma once
// Positions given in signed decimal degrees (a spot on the map, a command's --at) as the
// track points every writer takes.

#include <optional>

#include "track/track_point.h"

namespace trevalo {

// Unsigned decimal degrees in the packed ddmm.mmmm form the NMEA reader keeps.
double PackDegrees(double degrees);

// Signed decimal degrees into a packed value and its reference letter (`letters`: the
// positive one, then the negative one, such as "NS").
void SetPackedDegrees(double degrees, double& packed, std::string& reference, const char* letters);

// A position given by hand, with its altitude in metres when one was given.
struct PlacedPosition {
  double latitude = 0;   // signed decimal degrees
  double longitude = 0;  // signed decimal degrees
  std::optional<double> altitude;
  bool operator==(const PlacedPosition&) const = default;
};

// Latitudes within ±90 and longitudes within ±180, finite, neither exactly 0 (a track
// point with a coordinate of 0 is no position, IsUsable), an altitude within ±100 km.
bool IsPlaceablePosition(const PlacedPosition& position);

// The track point of a position placed by hand (TrackPoint::isPlaced).
TrackPoint PlacedPoint(const PlacedPosition& position);

}  // namespace trevalo
