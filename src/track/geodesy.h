#pragma once
// Coordinates, distances and the text forms of distances, speeds and durations.

#include <cstdint>
#include <string>

#include <QString>

namespace trevalo {

struct TrackPoint;

// A position taken from a track point: packed ddmm.mmmm values with their reference
// letters, converted by Convert into signed decimal degrees.
class Coordinate {
 public:
  Coordinate() = default;
  Coordinate(std::string longitudeRef, double rawLongitude, std::string latitudeRef,
             double rawLatitude, std::uint8_t altitudeBelowSea, double altitude, double extra);
  explicit Coordinate(const TrackPoint& point);
  virtual ~Coordinate() = default;
  Coordinate(const Coordinate&) = default;
  Coordinate& operator=(const Coordinate&) = default;

  // Fills the signed degrees and altitude; the corrections are hundredths of an arc second
  // added to the longitude and latitude (0: none).
  void Convert(int longitudeCorrection, int latitudeCorrection);

  std::string latitudeRef;
  std::string longitudeRef;
  std::uint8_t altitudeBelowSea = 0;
  double rawLatitude = 0;
  double rawAltitude = 0;
  double rawLongitude = 0;
  double extra = 0;
  double latitudeDegrees = 0;
  double longitudeDegrees = 0;
  double altitudeMetres = 0;
  bool hasAltitude = true;  // false: altitudeMetres means nothing (TrackPoint::HasAltitude)
};

// Packed ddmm.mmmm (or dddmm.mmmm) to unsigned decimal degrees.
double PackedToDegrees(double packed);

// Ellipsoidal distance in metres between two positions in decimal degrees: Vincenty's
// inverse formula evaluated in one pass, meant for the short legs between track points.
double Distance(double latitude1, double longitude1, double latitude2, double longitude2);

// "1.500 Km" above 999 metres, otherwise "999.000 m".
QString DistanceText(double metres);
// Average speed in km/h as "%.3f Km/h"; callers pass a non-zero duration.
QString SpeedText(double metres, std::int64_t seconds);
// "1 Day, 01:01:01".
QString DurationText(std::int64_t seconds);

}  // namespace trevalo
