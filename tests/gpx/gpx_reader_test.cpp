#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <QDir>

#include "gpx/gpx_reader.h"
#include "logs/gps_log.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "track/geodesy.h"
#include "track/time_zone.h"

namespace trevalo {
namespace {

struct ReadGpx {
  ScanResult scan;
  ParseResult parse;
  PackedPoints points;
};

// The scan and the parse, each pass on its own; every case also checks that the reading in
// one pass gives exactly the same.
ReadGpx Read(const std::string& data, int zone = 900) {
  MemoryByteSource source(data);
  ReadGpx gpx;
  gpx.scan = ScanGpx(source, zone);
  gpx.parse = ParseGpx(source, gpx.scan.pointCount, zone, gpx.points);

  ReadGpx once;
  once.scan = ReadGpxLog(source, zone, once.points, once.parse);
  EXPECT_EQ(once.scan, gpx.scan);
  EXPECT_EQ(once.parse.readFailed, gpx.parse.readFailed);
  EXPECT_TRUE(once.points == gpx.points) << "the reading in one pass differs";
  return gpx;
}

std::string Document(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" "
         "xmlns=\"http://www.topografix.com/GPX/1/1\">" +
         body + "</gpx>";
}

std::string TrackPoint(const std::string& lat, const std::string& lon, const std::string& inner) {
  return "<trkpt lat=\"" + lat + "\" lon=\"" + lon + "\">" + inner + "</trkpt>";
}

double SignedLatitude(const trevalo::TrackPoint& p) {
  return PackedToDegrees(p.latitude) * (p.latitudeRef == "S" ? -1 : 1);
}

double SignedLongitude(const trevalo::TrackPoint& p) {
  return PackedToDegrees(p.longitude) * (p.longitudeRef == "W" ? -1 : 1);
}

TEST(GpxReader, TracksOfBothVersions) {
  for (const int version : {10, 11}) {
    SCOPED_TRACE(version);
    test::LogPlan plan;
    plan.epochs = 30;
    std::vector<test::GeneratedFix> fixes;
    const ReadGpx gpx = Read(test::GenerateGpx(plan, version, 3, &fixes), 900);
    ASSERT_EQ(gpx.scan.problem, ScanProblem::kNone);
    ASSERT_EQ(gpx.scan.pointCount, 30u);
    EXPECT_EQ(gpx.scan.lapCount, 2);  // three segments
    EXPECT_EQ(gpx.scan.utcStart, fixes.front().utcSeconds);
    EXPECT_EQ(gpx.scan.localStart, ShiftByZone(fixes.front().utcSeconds, 900));
    EXPECT_EQ(gpx.scan.localEnd, ShiftByZone(fixes.back().utcSeconds, 900));
    ASSERT_EQ(gpx.points.size(), 30u);
    for (std::size_t k = 0; k < fixes.size(); ++k) {
      const trevalo::TrackPoint& p = gpx.points[k];
      EXPECT_EQ(p.utcTime, fixes[k].utcSeconds) << k;
      EXPECT_EQ(p.localTime, ShiftByZone(fixes[k].utcSeconds, 900)) << k;
      EXPECT_NEAR(SignedLatitude(p), fixes[k].latitude, 1e-9) << k;
      EXPECT_NEAR(SignedLongitude(p), fixes[k].longitude, 1e-9) << k;
      EXPECT_NEAR(p.altitude, fixes[k].altitude, 1e-9) << k;
      EXPECT_EQ(p.ggaMatchesRmc, 1) << k;
      EXPECT_EQ(p.isValid, 1) << k;
      EXPECT_EQ(p.isLap, k == 10 || k == 20 ? 1 : 0) << k;
      // 5 m per second: given in 1.0, the leg's average in 1.1.
      if (k > 0) {
        EXPECT_NEAR(p.speed, 18.0, 0.05) << k;
      }
    }
    const trevalo::TrackPoint& p = gpx.points[5];
    EXPECT_EQ(p.dateStampText, "2009:05:17");
    EXPECT_EQ(p.utcTimeOfDay, 120005);
    EXPECT_EQ(p.rmcTimeText, "120005");
    if (version == 10) {
      EXPECT_EQ(p.fixTypeText, "3");
      EXPECT_EQ(p.satellitesInView, 9);
      EXPECT_DOUBLE_EQ(p.dop, 2.5);
      EXPECT_DOUBLE_EQ(p.hdop, 1.3);
      EXPECT_NEAR(p.course, 53.1, 1e-9);
    }
  }
}

TEST(GpxReader, TimesAreUtcWithOffsetsAndFractions) {
  EXPECT_EQ(ParseGpxTime(u"2009-05-17T12:35:19Z"), MakeTime(2009, 5, 17, 12, 35, 19));
  EXPECT_EQ(ParseGpxTime(u" 2009-05-17T12:35:19.750Z "), MakeTime(2009, 5, 17, 12, 35, 19));
  EXPECT_EQ(ParseGpxTime(u"2009-05-17T21:35:19+09:00"), MakeTime(2009, 5, 17, 12, 35, 19));
  EXPECT_EQ(ParseGpxTime(u"2009-05-16T23:05:19-1330"), MakeTime(2009, 5, 17, 12, 35, 19));
  EXPECT_EQ(ParseGpxTime(u"2009-05-17T12:35:19"), MakeTime(2009, 5, 17, 12, 35, 19));
  // A leap second is the last second of its UTC day, written in any zone.
  EXPECT_EQ(ParseGpxTime(u"2016-12-31T23:59:60Z"), MakeTime(2016, 12, 31, 23, 59, 59));
  EXPECT_EQ(ParseGpxTime(u"2017-01-01T05:29:60+05:30"), MakeTime(2016, 12, 31, 23, 59, 59));
  for (const char16_t* bad :
       {u"", u"2009-05-17", u"2009-13-17T12:35:19Z", u"2009-05-17T24:00:00Z",
        u"2009-05-17T12:35:60Z", u"2016-12-31T23:59:60+01:00", u"2009-02-29T12:00:00Z",
        u"2009-05-17T12:35:19Q", u"2009-05-17T12:35:19+9", u"2009-05-17T12:35:19+15:00",
        u"20O9-05-17T12:35:19Z", u"1899-12-31T00:00:00Z"}) {
    EXPECT_FALSE(ParseGpxTime(bad).has_value()) << QString::fromUtf16(bad).toStdString();
  }
}

TEST(GpxReader, WaypointsTakeTheirPlaceInTime) {
  const std::string data = Document(
      "<wpt lat=\"1.5\" lon=\"2.5\"><time>2009-05-17T11:59:00Z</time></wpt>"
      "<wpt lat=\"1.5\" lon=\"2.5\"><time>2009-05-17T12:00:30Z</time></wpt>"
      "<wpt lat=\"1.5\" lon=\"2.5\"><name>no time, no point</name></wpt>"
      "<wpt lat=\"1.5\" lon=\"2.5\"><time>2009-05-17T12:05:00Z</time></wpt>"
      "<trk><trkseg>" +
      TrackPoint("1", "2", "<time>2009-05-17T12:00:00Z</time>") +
      TrackPoint("1", "2", "<time>2009-05-17T12:01:00Z</time>") + "</trkseg></trk>");
  const ReadGpx gpx = Read(data, 0);
  ASSERT_EQ(gpx.scan.pointCount, 5u);
  EXPECT_EQ(gpx.scan.waypointCount, 3);
  EXPECT_EQ(gpx.scan.lapCount, 0);
  ASSERT_EQ(gpx.points.size(), 5u);
  const int expectedMinutes[] = {-1, 0, 0, 1, 5};
  const int waypoint[] = {1, 0, 1, 0, 1};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(gpx.points[i].isWaypoint, waypoint[i]) << i;
    EXPECT_EQ((gpx.points[i].utcTime - *MakeTime(2009, 5, 17, 12, 0, 0)) / 60, expectedMinutes[i])
        << i;
  }
  EXPECT_EQ(gpx.scan.utcStart, gpx.points.front().utcTime);
  EXPECT_EQ(gpx.scan.localEnd, gpx.points.back().utcTime);
}

TEST(GpxReader, TheScanFindsTheEndsTheParseGives) {
  // Track points out of order and waypoints on either side: the scan's start and end are
  // the first and last of the parsed points whatever the mix.
  const std::string wptEarly = "<wpt lat=\"1\" lon=\"2\"><time>2009-05-17T10:00:00Z</time></wpt>";
  const std::string wptMiddle = "<wpt lat=\"1\" lon=\"2\"><time>2009-05-17T12:00:30Z</time></wpt>";
  const std::string wptLate = "<wpt lat=\"1\" lon=\"2\"><time>2009-05-17T14:00:00Z</time></wpt>";
  const std::string track =
      "<trk><trkseg>" + TrackPoint("1", "2", "<time>2009-05-17T12:00:00Z</time>") +
      TrackPoint("1", "2", "<time>2009-05-17T13:00:00Z</time>") +
      TrackPoint("1", "2", "<time>2009-05-17T12:01:00Z</time>") + "</trkseg></trk>";
  for (const std::string& waypoints :
       {std::string(), wptEarly, wptMiddle, wptLate, wptEarly + wptLate, wptMiddle + wptLate}) {
    const ReadGpx gpx = Read(Document(waypoints + track), 0);
    ASSERT_TRUE(gpx.scan.hasTimes) << waypoints;
    EXPECT_EQ(gpx.scan.utcStart, gpx.points.front().utcTime) << waypoints;
    EXPECT_EQ(gpx.scan.localEnd, gpx.points.back().utcTime) << waypoints;
  }
  const ReadGpx onlyWaypoints = Read(Document(wptLate + wptEarly), 0);
  EXPECT_EQ(onlyWaypoints.scan.utcStart, *MakeTime(2009, 5, 17, 10, 0, 0));
  EXPECT_EQ(onlyWaypoints.scan.localEnd, *MakeTime(2009, 5, 17, 14, 0, 0));
}

TEST(GpxReader, PointsWithoutAUsableTimeArePassedOver) {
  const std::string data = Document(
      "<trk><trkseg>" + TrackPoint("1", "2", "") + TrackPoint("1", "2", "<time>yesterday</time>") +
      TrackPoint("1", "2", "<time>2009-05-17T12:00:00Z</time>") + "</trkseg><trkseg>" +
      TrackPoint("1", "2", "<time>2009-02-30T12:00:00Z</time>") +
      TrackPoint("1", "2", "<time><b>2009-05-17T12:00:01Z</b></time>") +
      TrackPoint("1", "2", "<time>" + std::string(100, '9') + "</time>") +
      TrackPoint("1", "2", "<time>2009-05-17T12:00:02Z</time>") + "</trkseg></trk>");
  const ReadGpx gpx = Read(data);
  ASSERT_EQ(gpx.scan.pointCount, 2u);
  ASSERT_EQ(gpx.points.size(), 2u);
  // The second segment's first timed point starts a lap.
  EXPECT_EQ(gpx.points[0].isLap, 0);
  EXPECT_EQ(gpx.points[1].isLap, 1);
  EXPECT_EQ(gpx.points[1].utcTime - gpx.points[0].utcTime, 2);
  EXPECT_EQ(
      Read(Document("<trk><trkseg>" + TrackPoint("1", "2", "") + "</trkseg></trk>")).scan.problem,
      ScanProblem::kNoTimedPoint);
}

TEST(GpxReader, NumbersAreDecimalsInAnyOfTheirWrittenForms) {
  const std::string time = "<time>2009-05-17T12:00:00Z</time>";
  const struct {
    const char* written;
    double degrees;  // 0: no number
  } cases[] =
      {
          {"37.5", 37.5},  {"+37.5", 37.5}, {" 37.5 ", 37.5}, {"3.75e1", 37.5}, {"37.", 37},
          {".5", 0.5},     {"-.5", -0.5},   {"1,5", 0},       {"0x10", 0},      {"+-5", 0},
          {"++5", 0},      {"5 5", 0},      {"", 0},          {"inf", 0},       {"1e400", 0},
          {"\xD9\xA3", 0},  // an Arabic-Indic digit three
      };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    const ReadGpx gpx =
        Read(Document("<trk><trkseg>" + TrackPoint(c.written, "10", time) + "</trkseg></trk>"));
    ASSERT_EQ(gpx.points.size(), 1u);
    if (c.degrees == 0) {
      EXPECT_EQ(gpx.points[0].latitude, 0);
    } else {
      EXPECT_NEAR(SignedLatitude(gpx.points[0]), c.degrees, 1e-9);
    }
  }
}

TEST(GpxReader, PositionsAndValuesNoReceiverGivesAreNoPosition) {
  const std::string time = "<time>2009-05-17T12:00:00Z</time>";
  const std::string data =
      Document("<trk><trkseg>" + TrackPoint("-33.5", "-70.25", time + "<ele>-12.5</ele>") +
               TrackPoint("95", "10", time) + TrackPoint("nan", "10", time) +
               TrackPoint("10", "10", time + "<ele>1e308</ele>") +
               TrackPoint("10", "10", time + "<fix>none</fix>") + "</trkseg></trk>");
  const ReadGpx gpx = Read(data);
  ASSERT_EQ(gpx.points.size(), 5u);
  EXPECT_EQ(gpx.points[0].latitudeRef, "S");
  EXPECT_EQ(gpx.points[0].longitudeRef, "W");
  EXPECT_DOUBLE_EQ(gpx.points[0].latitude, 3330);
  EXPECT_DOUBLE_EQ(gpx.points[0].longitude, 7015);
  EXPECT_EQ(gpx.points[0].altitudeBelowSea, 1);
  EXPECT_DOUBLE_EQ(gpx.points[0].altitude, 12.5);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(gpx.points[i].latitude, 0) << i;
    EXPECT_EQ(gpx.points[i].longitude, 0) << i;
    EXPECT_EQ(gpx.points[i].isValid, i == 3 ? 1 : 0) << i;
  }
  EXPECT_EQ(gpx.points[3].altitude, 0);
  EXPECT_EQ(gpx.points[4].isValid, 0);
  EXPECT_NE(gpx.points[4].latitude, 0);
}

TEST(GpxReader, AnOutlierWithoutSpeedCostsOnlyItself) {
  // A walk north at 1 m/s, one fix a second, and one fix 11 km off: the leg to it is too
  // fast to be travelled, so it loses its position; the legs after it are measured from
  // the last fix kept, not from a position it no longer has.
  std::string body = "<trk><trkseg>";
  constexpr int kPoints = 600;
  constexpr int kOutlier = 100;
  for (int k = 0; k < kPoints; ++k) {
    const double latitude = 37.0 + (k == kOutlier ? 0.1 : k * 0.000009);
    char time[64];
    std::snprintf(time, sizeof time, "<time>2009-05-17T12:%02d:%02dZ</time>", k / 60, k % 60);
    body += TrackPoint(std::to_string(latitude), "127.5", time);
  }
  const ReadGpx gpx = Read(Document(body + "</trkseg></trk>"));
  ASSERT_EQ(gpx.points.size(), static_cast<std::size_t>(kPoints));
  for (int k = 0; k < kPoints; ++k) {
    const trevalo::TrackPoint p = gpx.points[static_cast<std::size_t>(k)];
    if (k == kOutlier) {
      EXPECT_EQ(p.latitude, 0);
      EXPECT_EQ(p.longitude, 0);
      continue;
    }
    ASSERT_NEAR(SignedLatitude(p), 37.0 + k * 0.000009, 1e-6) << k;
    if (k > 0) {
      ASSERT_NEAR(p.speed, 3.6, 0.1) << k;  // 1 m/s, also over the two seconds past the outlier
    }
  }
}

TEST(GpxReader, HostileDocumentsStopTheReading) {
  const std::string point = "<trk><trkseg>" +
                            TrackPoint("1", "2", "<time>2009-05-17T12:00:00Z</time>") +
                            "</trkseg></trk>";
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE gpx [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>&c;</time></trkpt></trkseg></trk></gpx>";
  std::string deep = "<gpx>";
  for (int i = 0; i < 100000; ++i) {
    deep += "<e>";
  }
  const std::string entity = Document(point + "<trk><name>&undeclared;</name></trk>" + point);
  struct Case {
    std::string data;
    ScanProblem problem;
    std::uint32_t points;
  } cases[] = {
      {laughs, ScanProblem::kMalformed, 0},
      {deep + point, ScanProblem::kMalformed, 0},
      {"<kml>" + point + "</kml>", ScanProblem::kMalformed, 0},
      {"", ScanProblem::kMalformed, 0},
      {"not xml at all", ScanProblem::kMalformed, 0},
      {entity, ScanProblem::kNone, 1},
      // Cut off: the points before the cut stay.
      {Document(point + point).substr(0, Document(point + point).size() - 30), ScanProblem::kNone,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.substr(0, 80));
    const ReadGpx gpx = Read(c.data);
    EXPECT_EQ(gpx.scan.problem, c.problem);
    EXPECT_EQ(gpx.scan.pointCount, c.points);
    EXPECT_EQ(gpx.points.size(), c.points);
    EXPECT_EQ(gpx.scan.hasTimes, c.points != 0);
    if (c.problem == ScanProblem::kMalformed) {
      EXPECT_FALSE(gpx.scan.problemDetail.empty());
    }
  }
}

TEST(GpxReader, TheFormatIsWhatTheFileHoldsWhateverItsName) {
  test::TemporaryFolder folder;
  const std::string gpx = test::GenerateGpx({.epochs = 5});
  const std::string nmea = test::GenerateLog({.epochs = 7});
  const struct {
    const char* name;
    std::string bytes;
    std::uint32_t points;
  } files[] = {
      {"track.gpx", gpx, 5},
      {"track.log", gpx, 5},
      {"bom.GPX", "\xEF\xBB\xBF" + gpx, 5},
      {"bare.nmea", "\r\n " + gpx.substr(gpx.find("<gpx")), 5},
      {"logger.gpx", nmea, 7},
      {"logger.log", nmea, 7},
  };
  for (const auto& file : files) {
    const QString path = folder.filePath(QString::fromLatin1(file.name));
    test::WriteFile(path, file.bytes);
    GPSLog log(path, 0, 0, {}, 0, 0);
    EXPECT_EQ(log.pointCount(), file.points) << file.name;
    EXPECT_TRUE(log.LoadPoints()) << file.name;
    EXPECT_EQ(log.points().size(), file.points) << file.name;
    // Read at once, the log is the same in one reading (GPX) or two (NMEA).
    GPSLog atOnce(path, 0, 0, GPSLog::ReadAtOnce{});
    EXPECT_TRUE(atOnce.pointsLoaded()) << file.name;
    EXPECT_EQ(atOnce.pointCount(), file.points) << file.name;
    EXPECT_EQ(atOnce.localEnd(), log.localEnd()) << file.name;
    EXPECT_TRUE(atOnce.points() == log.points()) << file.name;
  }
  GPSLog missing(folder.filePath(QStringLiteral("gone.gpx")), 0, 0, GPSLog::ReadAtOnce{});
  EXPECT_FALSE(missing.pointsLoaded());
  EXPECT_FALSE(missing.fileReadable());
  EXPECT_FALSE(missing.loadProblem().isEmpty());
}

// gpsbabel turns a real NMEA log into GPX 1.0 and 1.1: each of its track points must be the
// point our NMEA reader gives for the same fix, at the same local time.
TEST(GpxReader, AgreesWithTheNmeaLogItWasMadeFrom) {
  const QString folder = test::TestDataFolder();
  if (folder.isEmpty()) {
    GTEST_SKIP() << "no shared test data";
  }
  const QString nmea = folder + QStringLiteral("/nmea/gpsbabel_track.nmea");
  test::TemporaryFolder work;
  GPSLog reference(nmea, 0, 0, {}, 900, 100);
  ASSERT_TRUE(reference.LoadPoints());
  for (const QString& version : {QStringLiteral("1.0"), QStringLiteral("1.1")}) {
    SCOPED_TRACE(version.toStdString());
    const QString gpxPath = work.filePath(QStringLiteral("track%1.GPX").arg(version));
    int exitCode = -1;
    test::Run(QStringLiteral("gpsbabel"),
              {QStringLiteral("-t"), QStringLiteral("-i"), QStringLiteral("nmea"),
               QStringLiteral("-f"), nmea, QStringLiteral("-o"),
               QStringLiteral("gpx,gpxver=") + version, QStringLiteral("-F"), gpxPath},
              &exitCode);
    ASSERT_EQ(exitCode, 0);
    GPSLog gpx(gpxPath, 0, 0, {}, 900, 100);
    ASSERT_TRUE(gpx.hasTimes()) << gpx.scanProblem().toStdString();
    ASSERT_TRUE(gpx.LoadPoints());
    ASSERT_GT(gpx.pointCount(), 100u);
    std::size_t matched = 0;
    std::size_t r = 0;
    for (const trevalo::TrackPoint& p : gpx.points()) {
      while (r < reference.points().size() && reference.points()[r].localTime < p.localTime) {
        ++r;
      }
      ASSERT_LT(r, reference.points().size());
      const trevalo::TrackPoint& q = reference.points()[r];
      EXPECT_EQ(q.localTime, p.localTime);
      EXPECT_NEAR(SignedLatitude(p), SignedLatitude(q), 1e-6);
      EXPECT_NEAR(SignedLongitude(p), SignedLongitude(q), 1e-6);
      EXPECT_NEAR(p.altitude, q.altitude, 0.051);
      ++matched;
    }
    EXPECT_EQ(matched, gpx.pointCount());
    EXPECT_EQ(gpx.localStart(), reference.points().front().localTime);
  }
}

}  // namespace
}  // namespace trevalo
