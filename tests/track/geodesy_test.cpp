#include <gtest/gtest.h>

#include <cmath>

#include "track/geodesy.h"
#include "track/track_point.h"

namespace trevalo {
namespace {

TEST(Coordinate, ConvertsPackedDegreesAndMinutes) {
  Coordinate c("E", 12658.1234, "S", 3723.4567, 0, 45.3, 0);
  c.Convert(0, 0);
  EXPECT_NEAR(c.latitudeDegrees, -37.390945, 5e-7);
  EXPECT_NEAR(c.longitudeDegrees, 126.968723, 5e-7);
  EXPECT_DOUBLE_EQ(c.altitudeMetres, 45.3);
}

TEST(Coordinate, AppliesReferencesAndCorrections) {
  TrackPoint p;
  p.latitude = 3723.4567;
  p.latitudeRef = "N";
  p.longitude = 12658.1234;
  p.longitudeRef = "West";  // only the first character counts
  p.altitude = 12.5;
  p.altitudeBelowSea = 1;
  Coordinate c(p);
  c.Convert(100, -360000);
  EXPECT_NEAR(c.longitudeDegrees, -126.968723 + 1.0 / 3600, 5e-7);
  EXPECT_NEAR(c.latitudeDegrees, 37.390945 - 1.0, 5e-7);
  EXPECT_DOUBLE_EQ(c.altitudeMetres, -12.5);
  EXPECT_EQ(c.extra, 0);
}

TEST(Distance, KnownLegs) {
  EXPECT_EQ(Distance(37.5, 127.0, 37.5, 127.0), 0.0);
  EXPECT_NEAR(Distance(0, 0, 1, 0), 110574.39, 0.01);
  // A short leg against the spherical estimate: within half a percent.
  const double lat1 = 37.390945, lon1 = 126.968723, lat2 = 37.391845, lon2 = 126.970123;
  const double rad = 3.141592653589793 / 180;
  const double dLat = (lat2 - lat1) * rad, dLon = (lon2 - lon1) * rad;
  const double h =
      std::sin(dLat / 2) * std::sin(dLat / 2) +
      std::cos(lat1 * rad) * std::cos(lat2 * rad) * std::sin(dLon / 2) * std::sin(dLon / 2);
  const double haversine = 2 * 6371008.8 * std::asin(std::sqrt(h));
  EXPECT_NEAR(Distance(lat1, lon1, lat2, lon2), haversine, haversine * 0.005);
  // Symmetric.
  EXPECT_NEAR(Distance(lat1, lon1, lat2, lon2), Distance(lat2, lon2, lat1, lon1), 1e-6);
}

TEST(TextForms, DistanceSpeedDuration) {
  EXPECT_EQ(DistanceText(999), QStringLiteral("999.000 m"));
  EXPECT_EQ(DistanceText(1500), QStringLiteral("1.500 Km"));
  EXPECT_EQ(DistanceText(999.5), QStringLiteral("1.000 Km"));
  EXPECT_EQ(SpeedText(1000, 3600), QStringLiteral("1.000 Km/h"));
  EXPECT_EQ(SpeedText(5000, 1800), QStringLiteral("10.000 Km/h"));
  EXPECT_EQ(DurationText(90061), QStringLiteral("1 Day, 01:01:01"));
  EXPECT_EQ(DurationText(59), QStringLiteral("0 Day, 00:00:59"));
  EXPECT_EQ(DurationText(-3661), QStringLiteral("0 Day, 01:01:01"));
}

}  // namespace
}  // namespace trevalo
