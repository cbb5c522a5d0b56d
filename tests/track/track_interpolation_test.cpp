#include <gtest/gtest.h>

#include "track/geodesy.h"
#include "track/track_interpolation.h"

namespace trevalo {
namespace {

// A fix at signed decimal degrees, `localSeconds` after 2009-05-17 21:00:00 local time
// (+09:00), with GGA data of its own epoch when `altitude` is given.
TrackPoint Fix(double latitude, double longitude, int localSeconds,
               std::optional<double> altitude = std::nullopt) {
  TrackPoint p;
  const auto packed = [](double degrees) {
    const double magnitude = std::fabs(degrees);
    const double whole = std::trunc(magnitude);
    return whole * 100 + (magnitude - whole) * 60;
  };
  p.latitude = packed(latitude);
  p.latitudeRef = latitude < 0 ? "S" : "N";
  p.longitude = packed(longitude);
  p.longitudeRef = longitude < 0 ? "W" : "E";
  p.localTime = *MakeTime(2009, 5, 17, 21, 0, 0) + localSeconds;
  p.utcTime = p.localTime - 9 * 3600;
  p.isValid = 1;
  if (altitude) {
    p.ggaMatchesRmc = 1;
    p.altitudeBelowSea = *altitude < 0;
    p.altitude = std::fabs(*altitude);
  }
  return p;
}

double Latitude(const TrackPoint& p) {
  return PackedToDegrees(p.latitude) * (p.latitudeRef == "S" ? -1 : 1);
}
double Longitude(const TrackPoint& p) {
  return PackedToDegrees(p.longitude) * (p.longitudeRef == "W" ? -1 : 1);
}

TimeValue At(int localSeconds) {
  return *MakeTime(2009, 5, 17, 21, 0, 0) + localSeconds;
}

TEST(FixesAround, TheNearestFixesInTimeEitherSideWhateverTheFileOrder) {
  const std::vector<TrackPoint> points{Fix(1, 1, 0), Fix(1, 1, 30), Fix(1, 1, 10), Fix(1, 1, 20),
                                       Fix(1, 1, 20)};
  const std::optional<FixesAround> around = TimeIndex(points).Around(points, At(15));
  ASSERT_TRUE(around);
  EXPECT_EQ(around->before, 2u);
  EXPECT_EQ(around->after, 3u);  // of two fixes at 20 s, the earlier in the file
  EXPECT_EQ(TimeIndex(points).Around(points, At(25))->before, 3u);
}

TEST(FixesAround, NoneAtAFixOrOutsideTheFixes) {
  const std::vector<TrackPoint> points{Fix(1, 1, 0), Fix(1, 1, 10)};
  EXPECT_FALSE(TimeIndex(points).Around(points, At(0)));
  EXPECT_FALSE(TimeIndex(points).Around(points, At(10)));
  EXPECT_FALSE(TimeIndex(points).Around(points, At(-1)));
  EXPECT_FALSE(TimeIndex(points).Around(points, At(11)));
  EXPECT_FALSE(TimeIndex().Around(std::vector<TrackPoint>{}, At(5)));
}

TEST(InterpolatedPoint, PositionAndAltitudeInProportionToTime) {
  const TrackPoint before = Fix(-33.5, 151.25, 0, 10.0);
  TrackPoint after = Fix(-33.4, 151.45, 40, 50.0);
  after.speed = 7.5;
  after.course = 123.4;
  const TrackPoint p = InterpolatedPoint(before, after, after, At(30));
  EXPECT_NEAR(Latitude(p), -33.425, 1e-9);
  EXPECT_NEAR(Longitude(p), 151.4, 1e-9);
  EXPECT_EQ(p.latitudeRef, "S");
  EXPECT_EQ(p.longitudeRef, "E");
  EXPECT_NEAR(p.SignedAltitude(), 40.0, 1e-9);
  EXPECT_EQ(p.ggaMatchesRmc, 1);
  EXPECT_EQ(p.isInterpolated, 1);
  // The nearer fix's motion and the photo's own time.
  EXPECT_EQ(p.speed, 7.5);
  EXPECT_EQ(p.course, 123.4);
  EXPECT_EQ(IsoTimeText(p.localTime), "2009-05-17 21:00:30");
  EXPECT_EQ(IsoTimeText(p.utcTime), "2009-05-17 12:00:30");
  EXPECT_EQ(p.utcTimeOfDay, 120030);
  EXPECT_EQ(p.dateStampText, "2009:05:17");
}

TEST(InterpolatedPoint, CrossesTheEquatorAndSeaLevelWithTheRightSigns) {
  const TrackPoint p = InterpolatedPoint(Fix(0.001, -0.003, 0, 2.0), Fix(-0.003, 0.001, 4, -6.0),
                                         Fix(0.001, -0.003, 0, 2.0), At(3));
  EXPECT_NEAR(Latitude(p), -0.002, 1e-12);
  EXPECT_NEAR(Longitude(p), 0.0, 1e-12);
  EXPECT_EQ(p.latitudeRef, "S");
  EXPECT_NEAR(p.SignedAltitude(), -4.0, 1e-9);
  EXPECT_EQ(p.altitudeBelowSea, 1);
}

TEST(InterpolatedPoint, TakesTheShortWayAcrossThe180Meridian) {
  // Eastwards: 179.9990 E to 179.9994 W is 0.0016 degrees, not 359.9984.
  const TrackPoint east =
      InterpolatedPoint(Fix(-17, 179.999, 0), Fix(-17, -179.9994, 16), Fix(-17, 179.999, 0), At(4));
  EXPECT_NEAR(Longitude(east), 179.9994, 1e-9);
  EXPECT_EQ(east.longitudeRef, "E");
  const TrackPoint across = InterpolatedPoint(Fix(-17, 179.999, 0), Fix(-17, -179.9994, 16),
                                              Fix(-17, 179.999, 0), At(12));
  EXPECT_NEAR(Longitude(across), -179.9998, 1e-9);  // wrapped back into -180..180
  EXPECT_EQ(across.longitudeRef, "W");
  // Westwards the same way back.
  const TrackPoint west = InterpolatedPoint(Fix(-17, -179.9994, 0), Fix(-17, 179.999, 16),
                                            Fix(-17, 179.999, 16), At(12));
  EXPECT_NEAR(Longitude(west), 179.9994, 1e-9);
  EXPECT_EQ(west.longitudeRef, "E");
}

TEST(InterpolatedPoint, AltitudeOnlyFromTwoFixesThatHaveOne) {
  // The later fix had no GGA sentence of its own epoch: its altitude 0 is no altitude.
  const TrackPoint before = Fix(37, 127, 0, 100.0);
  const TrackPoint after = Fix(37.001, 127, 10);
  const TrackPoint nearBefore = InterpolatedPoint(before, after, before, At(2));
  EXPECT_EQ(nearBefore.SignedAltitude(), 100.0);
  EXPECT_EQ(nearBefore.ggaMatchesRmc, 1);
  const TrackPoint nearAfter = InterpolatedPoint(before, after, after, At(8));
  EXPECT_EQ(nearAfter.SignedAltitude(), 0.0);
  EXPECT_EQ(nearAfter.ggaMatchesRmc, 0);  // the reduced set of tags, as for that fix
}

TEST(InterpolatedPoint, IsNoMarkOfTheLog) {
  TrackPoint lap = Fix(37, 127, 0);
  lap.isLap = 1;
  lap.isWaypoint = 1;
  const TrackPoint p = InterpolatedPoint(lap, Fix(37.001, 127, 10), lap, At(1));
  EXPECT_EQ(p.isLap, 0);
  EXPECT_EQ(p.isWaypoint, 0);
}

}  // namespace
}  // namespace trevalo
