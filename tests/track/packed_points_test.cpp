#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <QString>

#include "logs/gps_log.h"
#include "support/sample_point.h"
#include "support/test_files.h"
#include "track/packed_points.h"

namespace trevalo {
namespace {

// Field by field, numbers by their bits: a NaN, or the sign of a zero, must come back too.
void ExpectIdentical(const TrackPoint& a, const TrackPoint& b, std::size_t index) {
  const auto bits = [](double value) { return std::bit_cast<std::uint64_t>(value); };
  SCOPED_TRACE("point " + std::to_string(index));
  EXPECT_EQ(a.isWaypoint, b.isWaypoint);
  EXPECT_EQ(a.isLap, b.isLap);
  EXPECT_EQ(a.isValid, b.isValid);
  EXPECT_EQ(a.rmcTimeText, b.rmcTimeText);
  EXPECT_EQ(a.ggaTimeText, b.ggaTimeText);
  EXPECT_EQ(a.localTime, b.localTime);
  EXPECT_EQ(a.utcTime, b.utcTime);
  EXPECT_EQ(a.ggaMatchesRmc, b.ggaMatchesRmc);
  EXPECT_EQ(a.latitudeRef, b.latitudeRef);
  EXPECT_EQ(bits(a.latitude), bits(b.latitude));
  EXPECT_EQ(a.longitudeRef, b.longitudeRef);
  EXPECT_EQ(bits(a.longitude), bits(b.longitude));
  EXPECT_EQ(a.altitudeBelowSea, b.altitudeBelowSea);
  EXPECT_EQ(bits(a.altitude), bits(b.altitude));
  EXPECT_EQ(a.utcTimeOfDay, b.utcTimeOfDay);
  EXPECT_EQ(a.satelliteText, b.satelliteText);
  EXPECT_EQ(a.satellitesInView, b.satellitesInView);
  EXPECT_EQ(a.gsaMode, b.gsaMode);
  EXPECT_EQ(a.fixTypeText, b.fixTypeText);
  EXPECT_EQ(bits(a.dop), bits(b.dop));
  EXPECT_EQ(bits(a.hdop), bits(b.hdop));
  EXPECT_EQ(a.speedRef, b.speedRef);
  EXPECT_EQ(bits(a.speed), bits(b.speed));
  EXPECT_EQ(a.courseRef, b.courseRef);
  EXPECT_EQ(bits(a.course), bits(b.course));
  EXPECT_EQ(a.dateStampText, b.dateStampText);
  EXPECT_EQ(a.differential, b.differential);
  EXPECT_EQ(a.deviceValue, b.deviceValue);
  EXPECT_EQ(a.isInterpolated, b.isInterpolated);
}

void ExpectKeptExactly(const std::vector<TrackPoint>& points) {
  const PackedPoints packed(points);
  ASSERT_EQ(packed.size(), points.size());
  std::size_t i = 0;
  for (const TrackPoint& point : packed) {
    ExpectIdentical(point, points[i], i);
    EXPECT_EQ(packed.localTimeAt(i), points[i].localTime);
    ++i;
  }
  EXPECT_EQ(i, points.size());
}

// Every way a point can leave the record's form, one field at a time, between ordinary
// points (which must keep fitting their records around it).
std::vector<TrackPoint> OddPoints() {
  const TrackPoint base = test::SamplePoint();
  std::vector<TrackPoint> points;
  const auto add = [&](auto change) {
    TrackPoint point = base;
    change(point);
    points.push_back(point);
    points.push_back(base);
  };
  for (const char* time : {"123519", "123519.5", "123519.1234", "123519.12345", "12:35:19", "",
                           "1235190", "123519.", "123519.-1", " 123519", "023519.000"}) {
    add([&](TrackPoint& p) { p.rmcTimeText = time; });
  }
  add([](TrackPoint& p) { p.utcTimeOfDay = -5; });
  add([](TrackPoint& p) { p.utcTimeOfDay = 1235190; });
  add([](TrackPoint& p) { p.ggaTimeText = "123520.000"; });
  add([](TrackPoint& p) { p.ggaTimeText.clear(); });
  for (const char* ref : {"", "n", "NN", "W"}) {
    add([&](TrackPoint& p) { p.latitudeRef = ref; });
    add([&](TrackPoint& p) { p.longitudeRef = ref; });
  }
  for (const char* text : {"", "X", "AA", "M"}) {
    add([&](TrackPoint& p) { p.gsaMode = text; });
    add([&](TrackPoint& p) { p.speedRef = text; });
    add([&](TrackPoint& p) { p.courseRef = text; });
  }
  for (const char* text : {"", "0", "6", "7", "12", "-1", " 3"}) {
    add([&](TrackPoint& p) { p.fixTypeText = text; });
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  for (const double value :
       {0.0, -0.0, nan, infinity, -infinity, 45.3, 0.1 + 0.2, 1e300, 5e-324, 2147483647.0,
        2147483648.0, 214748.3648, 0.000000001, 1.0 / 3, -12.5, 655.35, 655.36, 6553.5}) {
    add([&](TrackPoint& p) { p.altitude = value; });
    add([&](TrackPoint& p) { p.course = value; });
    add([&](TrackPoint& p) { p.dop = value; });
    add([&](TrackPoint& p) { p.hdop = value; });
    add([&](TrackPoint& p) { p.speed = value; });
    add([&](TrackPoint& p) { p.latitude = value; });
  }
  for (const std::int32_t count : {-1, 0, 255, 256, std::numeric_limits<std::int32_t>::max()}) {
    add([&](TrackPoint& p) { p.satellitesInView = count; });
  }
  for (const std::int32_t value : {-32769, -32768, 32767, 32768}) {
    add([&](TrackPoint& p) { p.deviceValue = value; });
  }
  add([](TrackPoint& p) { p.differential = 2; });
  add([](TrackPoint& p) { p.differential = -1; });
  add([](TrackPoint& p) { p.isWaypoint = 2; });
  add([](TrackPoint& p) { p.isLap = 255; });
  add([](TrackPoint& p) { p.isValid = 7; });
  add([](TrackPoint& p) { p.ggaMatchesRmc = 2; });
  add([](TrackPoint& p) { p.altitudeBelowSea = 3; });
  add([](TrackPoint& p) { p.isInterpolated = 1; });
  // Another zone than the log's first point, a date stamp that is not the local date, times
  // at the ends of the range.
  add([](TrackPoint& p) { p.localTime += 3600; });
  add([](TrackPoint& p) { p.dateStampText = "2009:05:18"; });
  add([](TrackPoint& p) { p.dateStampText.clear(); });
  add([](TrackPoint& p) {
    p.utcTime = std::numeric_limits<TimeValue>::min();
    p.localTime = std::numeric_limits<TimeValue>::max();
  });
  // Satellite summaries: the same as the point before, another, none, one too long for a
  // record, and one with a NUL byte.
  add([](TrackPoint& p) { p.satelliteText = "03,01,40,083,46,02,17,308,41,12,07,344,39"; });
  add([](TrackPoint& p) { p.satelliteText.clear(); });
  add([](TrackPoint& p) { p.satelliteText = std::string(70000, '7'); });
  add([](TrackPoint& p) { p.satelliteText = std::string("01\0,02", 6); });
  return points;
}

TEST(PackedPoints, EveryPointReadsBackExactlyWhateverItHolds) {
  const std::vector<TrackPoint> points = OddPoints();
  ExpectKeptExactly(points);

  // Most of them leave the record's form; the ordinary points between keep to it.
  const PackedPoints packed(points);
  EXPECT_GT(packed.wholePointCount(), points.size() / 4);
  EXPECT_LT(packed.wholePointCount(), points.size() / 2);

  // The same points shuffled, so that whole points and records mix in every order.
  std::vector<TrackPoint> shuffled = points;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(20261208));
  ExpectKeptExactly(shuffled);

  ExpectKeptExactly({});
  ExpectKeptExactly({OddPoints()[0]});
}

// Two parts packed apart and joined read back as the whole packed at once: records with
// their satellite texts, whole points at their places, a tail of another zone.
TEST(PackedPoints, PartsJoinedReadBackAsTheWhole) {
  std::vector<TrackPoint> points = OddPoints();
  const std::size_t odd = points.size();
  for (int copy = 0; copy < 3; ++copy) {  // past whole blocks, which join without a copy
    points.insert(points.end(), points.begin(), points.begin() + static_cast<std::ptrdiff_t>(odd));
  }
  ASSERT_GT(points.size(), 2 * PackedPoints::kJoinWithoutCopy + 1);
  TrackPoint otherZone = test::SamplePoint();
  otherZone.localTime += 7200;
  otherZone.dateStampText = DateStampText(otherZone.localTime);
  for (const std::size_t at :
       {std::size_t{0}, std::size_t{1}, std::size_t{17}, PackedPoints::kJoinWithoutCopy,
        2 * PackedPoints::kJoinWithoutCopy, points.size() / 2, points.size() - 1, points.size()}) {
    for (const bool tailInAnotherZone : {false, true}) {
      std::vector<TrackPoint> whole = points;
      if (tailInAnotherZone) {
        whole.insert(whole.begin() + static_cast<std::ptrdiff_t>(at), otherZone);
      }
      PackedPoints head(std::vector<TrackPoint>(whole.begin(), whole.begin() + at));
      PackedPoints tail(std::vector<TrackPoint>(whole.begin() + at, whole.end()));
      head.Append(std::move(tail));
      EXPECT_TRUE(tail.empty());
      ASSERT_EQ(head.size(), whole.size()) << at;
      for (std::size_t i = 0; i < whole.size(); ++i) {
        ExpectIdentical(head[i], whole[i], i);
        EXPECT_EQ(head.localTimeAt(i), whole[i].localTime);
      }
      // Points appended after the join still share and keep their texts.
      head.Append(points[1]);
      head.Append(points[1]);
      ExpectIdentical(head[whole.size() + 1], points[1], whole.size() + 1);
    }
  }
}

TEST(PackedPoints, ReceiversLogsFitTheirRecords) {
  // The logger's layout (with its device sentences, laps and waypoints), a u-blox receiver
  // of four systems, GPX 1.0 and 1.1 of the same walk, and the real logs of other receivers.
  test::LogPlan plan;
  plan.epochs = 3000;
  plan.lapEpochs = {10, 1500};
  plan.waypointEpochs = {20, 2000};
  test::TemporaryFolder folder;
  const std::pair<const char*, std::string> generated[] = {
      {"logger.log", test::GenerateLog(plan)},
      {"ublox.log", test::GenerateMultiSystemLog(plan)},
      {"walk10.gpx", test::GenerateGpx(plan, 10, 3)},
      {"walk11.gpx", test::GenerateGpx(plan, 11)}};
  QStringList paths;
  for (const auto& [name, data] : generated) {
    paths << folder.filePath(QString::fromLatin1(name));
    test::WriteFile(paths.back(), data);
  }
  ASSERT_FALSE(test::TestDataFolder().isEmpty());
  paths << test::TestDataFolder() + QStringLiteral("/nmea/gpsbabel_track.nmea")
        << test::TestDataFolder() + QStringLiteral("/nmea/gpsd_telit-he910.nmea");
  for (const QString& path : paths) {
    SCOPED_TRACE(path.toStdString());
    GPSLog log(path, 0, 0, {}, 900, 0);
    ASSERT_TRUE(log.LoadPoints()) << log.loadProblem().toStdString();
    EXPECT_GE(log.points().size(), 150u);
    EXPECT_EQ(log.points().wholePointCount(), 0u);
  }
}

TEST(PackedPoints, AMillionPointsNeedAtMost64Bytes) {
  // Points as a GPX track gives them: positions of any digits, no satellite summary.
  PackedPoints packed;
  packed.Reserve(1'000'000);
  TrackPoint point = test::SamplePoint();
  point.satelliteText.clear();
  for (int i = 0; i < 1'000'000; ++i) {
    point.utcTime += 1;
    point.localTime += 1;
    point.dateStampText = DateStampText(point.localTime);
    point.latitude = 3723.4567 + i * 1e-7 / 3;
    point.speed = i * 0.0036;
    point.altitude = (453 + i % 1000) / 10.0;  // as read from "45.3" and on
    packed.Append(point);
  }
  EXPECT_EQ(packed.wholePointCount(), 0u);
  // 64 bytes a point, and the blocks' own pointers and the unused end of the last block.
  EXPECT_LE(packed.memoryBytes(), 64'064'000u);
}

}  // namespace
}  // namespace trevalo
