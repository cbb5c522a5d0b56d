#include "track/geodesy.h"

#include <cmath>
#include <cstdlib>

#include "track/track_point.h"

namespace trevalo {

Coordinate::Coordinate(std::string longitudeRef, double rawLongitude, std::string latitudeRef,
                       double rawLatitude, std::uint8_t altitudeBelowSea, double altitude,
                       double extra)
    : latitudeRef(std::move(latitudeRef)),
      longitudeRef(std::move(longitudeRef)),
      altitudeBelowSea(altitudeBelowSea),
      rawLatitude(rawLatitude),
      rawAltitude(altitude),
      rawLongitude(rawLongitude),
      extra(extra) {}

Coordinate::Coordinate(const TrackPoint& point)
    : Coordinate(point.longitudeRef, point.longitude, point.latitudeRef, point.latitude,
                 point.altitudeBelowSea, point.altitude, 0) {
  hasAltitude = point.HasAltitude();
}

double PackedToDegrees(double packed) {
  const double degrees = std::trunc(packed / 100);
  return degrees + (packed - degrees * 100) / 60;
}

void Coordinate::Convert(int longitudeCorrection, int latitudeCorrection) {
  longitudeDegrees = PackedToDegrees(rawLongitude);
  latitudeDegrees = PackedToDegrees(rawLatitude);
  altitudeMetres = rawAltitude;
  if (!longitudeRef.empty() && longitudeRef[0] == 'W') {
    longitudeDegrees = -longitudeDegrees;
  }
  if (!latitudeRef.empty() && latitudeRef[0] == 'S') {
    latitudeDegrees = -latitudeDegrees;
  }
  if (altitudeBelowSea) {
    altitudeMetres = -altitudeMetres;
  }
  if (longitudeCorrection != 0) {
    longitudeDegrees += longitudeCorrection / 100.0 / 3600.0;
  }
  if (latitudeCorrection != 0) {
    latitudeDegrees += latitudeCorrection / 100.0 / 3600.0;
  }
}

double Distance(double latitude1, double longitude1, double latitude2, double longitude2) {
  if (latitude2 == latitude1 && longitude2 == longitude1) {
    return 0;
  }
  constexpr double a = 6378137.0;
  constexpr double b = 6356752.31414091;
  constexpr double oneMinusF = 0.9966471893;
  constexpr double pi = 3.141592653589793;
  const double phi1 = latitude1 * pi / 180;
  const double phi2 = latitude2 * pi / 180;
  const double L = longitude2 * pi / 180 - longitude1 * pi / 180;
  const double U1 = std::atan(oneMinusF * std::tan(phi1));
  const double U2 = std::atan(oneMinusF * std::tan(phi2));
  const double sinU1 = std::sin(U1);
  const double cosU1 = std::cos(U1);
  const double sinU2 = std::sin(U2);
  const double cosU2 = std::cos(U2);
  const double sinL = std::sin(L);
  const double cosL = std::cos(L);

  const double t1 = cosU2 * sinL;
  const double t2 = cosU1 * sinU2 - sinU1 * cosU2 * cosL;
  const double sinSqSigma = t1 * t1 + t2 * t2;
  const double sinSigma = std::sqrt(sinSqSigma);
  const double cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosL;
  const double sigma = std::atan(sinSigma / cosSigma);
  const double sinAlpha = sinSqSigma == 0 ? 0 : cosU1 * cosU2 * sinL / sinSigma;
  const double cosAlpha = std::cos(std::asin(sinAlpha));
  const double cosSqAlpha = cosAlpha * cosAlpha;
  const double cos2SigmaM = cosSqAlpha == 0 ? 0 : cosSigma - 2 * sinU1 * sinU2 / cosSqAlpha;
  const double uSq = cosSqAlpha * (a * a - b * b) / (b * b);
  const double A = 1 + uSq / 16384 * (4096 + uSq * (-768 + uSq * (320 - 175 * uSq)));
  const double B = uSq / 1024 * (256 + uSq * (-128 + uSq * (74 - 47 * uSq)));
  const double deltaSigma = B * sinSigma *
                            (cos2SigmaM + B / 4 *
                                              (cosSigma * (2 * cos2SigmaM * cos2SigmaM - 1) -
                                               B / 6 * cos2SigmaM * (4 * sinSqSigma - 3) *
                                                   (4 * cos2SigmaM * cos2SigmaM - 3)));
  return b * A * (sigma - deltaSigma);
}

QString DistanceText(double metres) {
  if (metres > 999) {
    return QString::asprintf("%.3f Km", metres / 1000);
  }
  return QString::asprintf("%.3f m", metres);
}

QString SpeedText(double metres, std::int64_t seconds) {
  return QString::asprintf("%.3f Km/h", metres / static_cast<double>(seconds) / 1000 * 3600);
}

QString DurationText(std::int64_t seconds) {
  const std::int64_t days = seconds / 86400;
  const std::int64_t hours = seconds / 3600 - days * 24;
  const std::int64_t minutes = seconds / 60 - (seconds / 3600) * 60;
  const std::int64_t rest = seconds - (seconds / 60) * 60;
  return QString::asprintf("%d Day, %02d:%02d:%02d", static_cast<int>(std::llabs(days)),
                           static_cast<int>(std::llabs(hours)),
                           static_cast<int>(std::llabs(minutes)),
                           static_cast<int>(std::llabs(rest)));
}

}  // namespace trevalo
