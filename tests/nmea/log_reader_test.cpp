#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "nmea/log_reader.h"
#include "nmea/satellite_summary.h"
#include "support/log_generator.h"
#include "track/geodesy.h"
#include "track/packed_points.h"
#include "track/time_zone.h"
#include "track/track_walk.h"

namespace trevalo {
namespace {

using test::NmeaSentence;

struct ReadLog {
  ScanResult scan;
  ParseResult parse;
  std::vector<TrackPoint> points;
};

ReadLog Read(const std::string& data, int zone = 900) {
  MemoryByteSource source(data);
  ReadLog log;
  log.scan = ScanLog(source, zone);
  log.parse = ParseLog(source, log.scan.pointCount, zone, log.points);

  // A loaded log packs the points as the parse leaves them behind: every case checks that
  // it keeps exactly what the parse gives.
  PackedPoints packed;
  PointWindow window(packed);
  const ParseResult windowed = ParseLog(source, log.scan.pointCount, zone, window);
  window.Finish();
  EXPECT_EQ(windowed.ok, log.parse.ok);
  EXPECT_EQ(windowed.deviceValueCount, log.parse.deviceValueCount);
  EXPECT_TRUE(!log.parse.ok ||
              std::equal(packed.begin(), packed.end(), log.points.begin(), log.points.end()))
      << "the packed points differ from the parsed ones";
  return log;
}

const std::string kWorkedEpoch =
    "$GPGGA,123519.000,3723.4567,N,12658.1234,E,1,08,0.9,45.3,M,18.2,M,,*60\r\n"
    "$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35\r\n"
    "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n"
    "$GPGSV,2,2,08,15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33*7D\r\n"
    "$GPRMC,123519.000,A,3723.4567,N,12658.1234,E,10.00,84.4,170509,,,A*59\r\n";

std::string Rmc(const std::string& time, const std::string& date,
                const std::string& rest = "A,3723.4567,N,12658.1234,E,0.0,0.0") {
  return NmeaSentence("GPRMC," + time + "," + rest + "," + date + ",,,A");
}

TEST(LogReader, WorkedEpoch) {
  const ReadLog log = Read(kWorkedEpoch);
  ASSERT_EQ(log.scan.pointCount, 1u);
  ASSERT_TRUE(log.parse.ok);
  const TrackPoint& p = log.points[0];
  EXPECT_EQ(p.rmcTimeText, "123519.000");
  EXPECT_EQ(p.ggaTimeText, "123519.000");
  EXPECT_EQ(p.ggaMatchesRmc, 1);
  EXPECT_EQ(IsoTimeText(p.utcTime), "2009-05-17 12:35:19");
  EXPECT_EQ(IsoTimeText(p.localTime), "2009-05-17 21:35:19");
  EXPECT_EQ(p.dateStampText, "2009:05:17");
  EXPECT_EQ(p.utcTimeOfDay, 123519);
  EXPECT_EQ(p.isValid, 1);
  EXPECT_DOUBLE_EQ(p.latitude, 3723.4567);
  EXPECT_EQ(p.latitudeRef, "N");
  EXPECT_DOUBLE_EQ(p.longitude, 12658.1234);
  EXPECT_EQ(p.longitudeRef, "E");
  EXPECT_DOUBLE_EQ(p.altitude, 45.3);
  EXPECT_EQ(p.altitudeBelowSea, 0);
  EXPECT_EQ(p.differential, 0);
  EXPECT_EQ(p.satellitesInView, 8);
  EXPECT_EQ(p.satelliteText,
            "08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45,"
            "15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33");
  EXPECT_EQ(p.gsaMode, "A");
  EXPECT_EQ(p.fixTypeText, "3");
  EXPECT_DOUBLE_EQ(p.dop, 2.5);
  EXPECT_DOUBLE_EQ(p.hdop, 1.3);
  EXPECT_EQ(p.speedRef, "K");
  EXPECT_DOUBLE_EQ(p.speed, 18.52);
  EXPECT_EQ(p.courseRef, "T");
  EXPECT_DOUBLE_EQ(p.course, 84.4);
  EXPECT_EQ(p.isLap, 0);
  EXPECT_EQ(p.isWaypoint, 0);
  EXPECT_TRUE(log.scan.hasTimes);
  EXPECT_EQ(IsoTimeText(log.scan.utcStart), "2009-05-17 12:35:19");
  EXPECT_EQ(log.scan.localStart, p.localTime);
  EXPECT_EQ(log.scan.localEnd, p.localTime);
}

TEST(LogReader, DeviceValuesAndTheFixUpOfTheLastPoint) {
  std::string data;
  for (int k = 0; k < 3; ++k) {
    const std::string time = "12351" + std::to_string(k) + ".000";
    data += NmeaSentence("GPGGA," + time + ",3723.4567,N,12658.1234,E,1,08,0.9,45.3,M,,M,,");
    data += NmeaSentence("GPGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1");
    data += NmeaSentence("GPGSV,1,1,01,01,40,083,46");
    data += Rmc(time, "170509");
    data += "@QNDBG,x," + std::to_string(120 + k) + ",\r\n";
  }
  const ReadLog log = Read(data);
  ASSERT_EQ(log.points.size(), 3u);
  EXPECT_EQ(log.points[0].deviceValue, 120);
  EXPECT_EQ(log.points[1].deviceValue, 121);
  // The parse stops at the last point sentence, so the last point takes the value before.
  EXPECT_EQ(log.points[2].deviceValue, 121);
  EXPECT_EQ(log.parse.deviceValueCount, 3);
}

TEST(LogReader, DeviceSentenceDetails) {
  std::string data = Rmc("120000", "170509") + "@QNDBG,a,-17,\r\n" + Rmc("120001", "170509") +
                     "@QNDBG,a,55\r\n" +   // fewer than three commas: counted, value unchanged
                     "@QNDBG,a,66,\r\n" +  // no point since the last one: not counted
                     Rmc("120002", "170509");
  const ReadLog log = Read(data);
  ASSERT_EQ(log.points.size(), 3u);
  EXPECT_EQ(log.points[0].deviceValue, -17);
  EXPECT_EQ(log.points[1].deviceValue, 0);
  EXPECT_EQ(log.points[2].deviceValue, 0);  // 2 values for 3 points: the fix-up applies
  EXPECT_EQ(log.parse.deviceValueCount, 3);
}

TEST(LogReader, AnRmcWithoutTimeIsNeitherCountedNorAPoint) {
  const std::string data =
      "$GPRMC,,V,,,,,,,,,,N*53\r\n" + Rmc("120000", "170509") + "$GPRMC,,V,,,,,,,,,,N*53\r\n";
  const ReadLog log = Read(data);
  EXPECT_EQ(log.scan.pointCount, 1u);
  ASSERT_EQ(log.points.size(), 1u);
  EXPECT_EQ(log.points[0].rmcTimeText, "120000");
}

TEST(LogReader, AltitudeBelowSeaLevel) {
  const ReadLog log =
      Read(NmeaSentence("GPGGA,120000,3723.4567,N,12658.1234,E,2,08,0.9,-12.5,M,,M,,") +
           Rmc("120000", "170509"));
  ASSERT_EQ(log.points.size(), 1u);
  EXPECT_DOUBLE_EQ(log.points[0].altitude, 12.5);
  EXPECT_EQ(log.points[0].altitudeBelowSea, 1);
  EXPECT_DOUBLE_EQ(log.points[0].SignedAltitude(), -12.5);
  EXPECT_EQ(log.points[0].differential, 1);  // fix quality 2
}

TEST(LogReader, SatelliteTexts) {
  // 5 satellites in 2 messages: the second contributes one group, never its checksum.
  const ReadLog five = Read(
      "$GPGSV,2,1,05,01,40,083,46,02,17,308,41,12,07,344,,14,22,228,45*72\r\n"
      "$GPGSV,2,2,05,15,,100,30*4A\r\n" +
      Rmc("120000", "170509"));
  EXPECT_EQ(five.points[0].satelliteText,
            "05,01,40,083,46,02,17,308,41,12,07,344,0,14,22,228,45,15,0,100,30");
  EXPECT_EQ(five.points[0].satellitesInView, 5);
  const ReadLog none = Read("$GPGSV,1,1,00*79\r\n" + Rmc("120000", "170509"));
  EXPECT_EQ(none.points[0].satelliteText, "00");
  // 9 satellites in 3 messages: the count and 9 groups, 37 fields.
  const ReadLog nine = Read(test::GenerateLog({.epochs = 1, .satellites = 9}));
  int commas = 0;
  for (const char c : nine.points[0].satelliteText) {
    commas += c == ',' ? 1 : 0;
  }
  EXPECT_EQ(commas + 1, 37);
}

TEST(LogReader, DilutionFollowsTheFixType) {
  const ReadLog twoD =
      Read(NmeaSentence("GPGSA,M,2,04,,,,,,,,,,,,2.5,1.3,2.1") + Rmc("120000", "170509"));
  EXPECT_EQ(twoD.points[0].gsaMode, "M");
  EXPECT_EQ(twoD.points[0].fixTypeText, "2");
  EXPECT_DOUBLE_EQ(twoD.points[0].dop, 1.3);
}

TEST(LogReader, SpeedInKilometresPerHour) {
  const ReadLog log = Read(Rmc("120000", "170509", "A,3723.4567,N,12658.1234,E,10,45.0"));
  EXPECT_DOUBLE_EQ(log.points[0].speed, 18.52);
}

TEST(LogReader, GgaFromAnotherEpochOrNone) {
  const ReadLog other =
      Read(NmeaSentence("GPGGA,123519.000,3723.4567,N,12658.1234,E,1,08,0.9,45.3,M,,M,,") +
           Rmc("123520.000", "170509"));
  EXPECT_EQ(other.points[0].ggaMatchesRmc, 0);
  const ReadLog none = Read(Rmc("123520.000", "170509"));
  EXPECT_EQ(none.points[0].ggaMatchesRmc, 0);
  EXPECT_EQ(none.points[0].altitude, 0);
  EXPECT_EQ(none.points[0].ggaTimeText, "");
}

TEST(LogReader, InvalidFixesStayInFileOrder) {
  const ReadLog log = Read(Rmc("120000", "170509", "V,,,,,,") + Rmc("115959", "170509"));
  ASSERT_EQ(log.points.size(), 2u);
  EXPECT_EQ(log.points[0].isValid, 0);
  EXPECT_EQ(log.points[0].latitude, 0);
  EXPECT_EQ(log.points[1].rmcTimeText, "115959");
}

TEST(LogReader, LapAndWaypointMarks) {
  const std::string data = Rmc("120000", "170509") + "@TRRMC,120001,A,,,,,,,170509\r\n" +
                           "@WPRMC,120001,A,,,,,,,170509\r\n" + Rmc("120001", "170509") +
                           Rmc("120002", "170509") + "@TRRMC,120003,A,,,,,,,170509\r\n";
  const ReadLog log = Read(data);
  EXPECT_EQ(log.scan.pointCount, 3u);
  EXPECT_EQ(log.scan.lapCount, 2);
  EXPECT_EQ(log.scan.waypointCount, 1);
  EXPECT_EQ(log.points[0].isLap, 0);
  EXPECT_EQ(log.points[1].isLap, 1);
  EXPECT_EQ(log.points[1].isWaypoint, 1);
  EXPECT_EQ(log.points[2].isLap, 0);
  // The lap mark after the last point sets the end, though no point carries it.
  EXPECT_EQ(IsoTimeText(log.scan.localEnd), "2009-05-17 21:00:03");
}

TEST(LogReader, LongSentencesAreCut) {
  // The date sits past the 255th byte, so the cut leaves the RMC without one.
  const std::string padding(260, '0');
  const ReadLog log = Read(Rmc("120000", "170509") + "$GPRMC,120001,A,3723.4567,N,12658.1234,E,0." +
                           padding + ",0,170509\r\n");
  ASSERT_EQ(log.points.size(), 2u);
  EXPECT_EQ(log.points[1].utcTime, kDefaultTime);
  // The end comes from the last sentence with a complete date and time.
  EXPECT_EQ(IsoTimeText(log.scan.localEnd), "2009-05-17 21:00:00");
}

TEST(LogReader, ZoneMovesTheDateStamp) {
  const ReadLog log = Read(Rmc("200000", "170509"), 900);
  EXPECT_EQ(IsoTimeText(log.points[0].localTime), "2009-05-18 05:00:00");
  EXPECT_EQ(log.points[0].dateStampText, "2009:05:18");
}

TEST(LogReader, LeadingFixesWithoutDateDoNotDateTheLog) {
  // A receiver's first fixes carry a time but no date yet.
  const std::string data =
      "$GPRMC,115957.000,V,,,,,,,,,,N*43\r\n"
      "$GPRMC,115958.000,V,,,,,,,,,,N*4C\r\n" +
      Rmc("115959", "170509") + Rmc("120000", "170509");
  const ReadLog log = Read(data, 0);
  EXPECT_EQ(log.scan.pointCount, 4u);
  EXPECT_TRUE(log.scan.hasTimes);
  EXPECT_EQ(IsoTimeText(log.scan.utcStart), "2009-05-17 11:59:59");
  EXPECT_EQ(log.points[0].utcTime, kDefaultTime);
}

TEST(LogReader, ATruncatedLastSentenceLeavesTheEndAtTheOneBefore) {
  const std::string data = Rmc("120000", "170509") + Rmc("120001", "170509") + "$GPRMC,120002.0";
  const ReadLog log = Read(data, 0);
  EXPECT_EQ(log.scan.pointCount, 3u);
  EXPECT_TRUE(log.scan.hasTimes);
  EXPECT_EQ(IsoTimeText(log.scan.localEnd), "2009-05-17 12:00:01");
}

TEST(LogReader, WithoutAnyCompleteSentenceTheDefaultTimeApplies) {
  const ReadLog log = Read("$GPRMC,120000,V,,,,,,,,,,N*50\r\n", 0);
  EXPECT_TRUE(log.scan.hasTimes);
  EXPECT_EQ(log.scan.utcStart, kDefaultTime);
  EXPECT_EQ(log.scan.localEnd, kDefaultTime);
}

TEST(LogReader, ALoneShortSentenceAtTheEndHasNoTimes) {
  const ReadLog log = Read("$GPRMC,120000,V,,", 0);
  EXPECT_EQ(log.scan.pointCount, 1u);
  EXPECT_FALSE(log.scan.hasTimes);
  EXPECT_EQ(log.scan.problem, ScanProblem::kTruncated);
}

TEST(LogReader, DatesOutOfRange) {
  // A start that cannot be built: no times.
  const ReadLog badStart = Read(Rmc("120000", "171309") + Rmc("120001", "170509"));
  EXPECT_FALSE(badStart.scan.hasTimes);
  EXPECT_EQ(badStart.scan.problem, ScanProblem::kInvalidDateTime);
  // A point in the middle that cannot be built abandons the parse.
  const ReadLog badMiddle =
      Read(Rmc("120000", "170509") + Rmc("126100", "170509") + Rmc("120002", "170509"));
  EXPECT_TRUE(badMiddle.scan.hasTimes);
  EXPECT_FALSE(badMiddle.parse.ok);
  // A leap second is no time out of range: it reads as the last second of its day, in the
  // middle of a log and at its end.
  for (const bool atTheEnd : {false, true}) {
    const ReadLog leap = Read(Rmc("235959", "311216") + Rmc("235960", "311216") +
                              (atTheEnd ? "" : Rmc("000000", "010117")));
    ASSERT_TRUE(leap.scan.hasTimes) << atTheEnd;
    ASSERT_TRUE(leap.parse.ok) << atTheEnd;
    ASSERT_EQ(leap.points.size(), atTheEnd ? 2u : 3u);
    EXPECT_EQ(IsoTimeText(leap.points[1].utcTime), "2016-12-31 23:59:59");
    EXPECT_EQ(leap.points[1].rmcTimeText, "235960");
    EXPECT_EQ(IsoTimeText(leap.points.back().localTime),
              atTheEnd ? "2017-01-01 08:59:59" : "2017-01-01 09:00:00");
    EXPECT_EQ(leap.scan.localEnd, leap.points.back().localTime);
  }
}

TEST(LogReader, WhatReceiversAddCostsNoFixAndAddsNone) {
  // A logger log (each epoch's RMC last) and a u-blox one (RMC first, combined "GN" fixes):
  // with each kind of noise, and all at once, they read exactly as without it.
  const std::string logs[] = {test::GenerateLog({.epochs = 40}),
                              test::GenerateMultiSystemLog({.epochs = 40})};
  for (const std::string& clean : logs) {
    const ReadLog expected = Read(clean);
    ASSERT_EQ(expected.scan.pointCount, 40u);
    const auto expectSame = [&](const std::string& noisy, std::uint32_t refused) {
      const ReadLog log = Read(noisy);
      EXPECT_EQ(log.scan.pointCount, expected.scan.pointCount);
      EXPECT_EQ(log.scan.refusedCount, refused);
      EXPECT_EQ(log.scan.localStart, expected.scan.localStart);
      EXPECT_EQ(log.scan.localEnd, expected.scan.localEnd);
      ASSERT_TRUE(log.parse.ok);
      EXPECT_EQ(log.parse.deviceValueCount, expected.parse.deviceValueCount);
      ASSERT_EQ(log.points.size(), expected.points.size());
      for (std::size_t i = 0; i < log.points.size(); ++i) {
        ASSERT_TRUE(log.points[i] == expected.points[i]) << "point " << i;
      }
    };
    std::string all = clean;
    std::uint32_t corrupted = 0;
    for (const test::ReceiverNoise noise :
         {test::ReceiverNoise::kOtherSystems, test::ReceiverNoise::kCorruptedCopies,
          test::ReceiverNoise::kDoubledStarts, test::ReceiverNoise::kBinaryBefore}) {
      SCOPED_TRACE(static_cast<int>(noise));
      std::uint32_t refused = 0;
      const std::string noisy = test::AddReceiverNoise(clean, noise, &refused);
      expectSame(noisy, refused);
      all = test::AddReceiverNoise(all, noise, &refused);
      corrupted += refused;
    }
    SCOPED_TRACE("all at once");
    expectSame(all, corrupted);
  }
}

TEST(LogReader, ACorruptedFixIsRefusedByItsChecksum) {
  // One byte of a latitude changed on the way (4700 read as 1700), the checksum left as it
  // was: no fix 3,300 km off the track. An altitude changed likewise is not taken; a
  // sentence without a checksum is read as it is.
  const std::string good = NmeaSentence("GPRMC,120001,A,4700.0020,N,00800.0000,E,0.0,0.0,170509");
  std::string corrupted = good;
  corrupted[18] = '1';
  std::string altitude = NmeaSentence("GPGGA,120002,4700.0030,N,00800.0000,E,1,08,0.9,45.3,M,,M,,");
  altitude[altitude.find("45.3")] = '9';
  const ReadLog log = Read(Rmc("120000", "170509") + corrupted + altitude +
                           "$GPRMC,120002,A,4700.0030,N,00800.0000,E,0.0,0.0,170509\r\n" +
                           "$GPRMC,120003,A,4700.0040,N,00800.0000,E,0.0,0.0,170509*4\r\n");
  EXPECT_EQ(log.scan.pointCount, 2u);
  EXPECT_EQ(log.scan.refusedCount, 2u);  // the changed byte and the checksum cut short
  ASSERT_EQ(log.points.size(), 2u);
  EXPECT_EQ(log.points[1].rmcTimeText, "120002");
  EXPECT_DOUBLE_EQ(log.points[1].latitude, 4700.003);
  EXPECT_EQ(log.points[1].altitude, 0);
  EXPECT_TRUE(log.points[1].ggaTimeText.empty());
}

TEST(LogReader, AnRmcCutBeforeItsDateIsNoPositionedPoint) {
  // The last line cut off by a power loss: still the third point, but with no position and
  // not valid, and the end stays at the last whole sentence.
  const ReadLog log = Read(Rmc("120000", "170509") + Rmc("120001", "170509") +
                               "$GPRMC,120002.000,A,3723.4567,N,12658.12",
                           0);
  EXPECT_EQ(log.scan.pointCount, 3u);
  EXPECT_EQ(IsoTimeText(log.scan.localEnd), "2009-05-17 12:00:01");
  ASSERT_EQ(log.points.size(), 3u);
  EXPECT_EQ(log.points[2].isValid, 0);
  EXPECT_EQ(log.points[2].latitude, 0);
  EXPECT_EQ(log.points[2].longitude, 0);
  EXPECT_EQ(log.points[1].isValid, 1);
}

TEST(LogReader, OneEpochOfSeveralSystemsIsOnePoint) {
  // The first fix with a position wins, unless a combined "GN" one comes.
  const auto rmc = [](const char* talker, const char* time, const char* status,
                      const char* latitude) {
    return NmeaSentence(std::string(talker) + "RMC," + time + "," + status + "," + latitude +
                        ",N,12658.1234,E,0.0,0.0,170509");
  };
  const ReadLog log =
      Read(rmc("GP", "120000", "V", "") + rmc("GL", "120000", "A", "3701.0000") +
           rmc("GA", "120000", "A", "3702.0000") + rmc("GP", "120001", "A", "3703.0000") +
           rmc("GN", "120001", "A", "3704.0000") + rmc("GA", "120002", "A", "3705.0000") +
           rmc("GN", "120002", "V", "") + rmc("GP", "120002", "A", "3706.0000"));
  ASSERT_EQ(log.scan.pointCount, 3u);
  ASSERT_EQ(log.points.size(), 3u);
  EXPECT_DOUBLE_EQ(log.points[0].latitude, 3701.0);
  EXPECT_DOUBLE_EQ(log.points[1].latitude, 3704.0);
  EXPECT_DOUBLE_EQ(log.points[2].latitude, 3705.0);
  for (const TrackPoint& point : log.points) {
    EXPECT_EQ(point.isValid, 1);
  }
}

TEST(LogReader, NothingToCount) {
  EXPECT_EQ(Read("").scan.problem, ScanProblem::kNoPointSentence);
  const ReadLog lapsOnly = Read("@TRRMC,120001,A,,,,,,,170509\r\n");
  EXPECT_EQ(lapsOnly.scan.pointCount, 0u);
  EXPECT_EQ(lapsOnly.scan.lapCount, 1);
  EXPECT_FALSE(lapsOnly.scan.hasTimes);
}

TEST(LogReader, AFileEndingEarlyLeavesTheRestZeroed) {
  const std::string data = Rmc("120000", "170509") + Rmc("120001", "170509");
  MemoryByteSource source(data);
  std::vector<TrackPoint> points;
  const ParseResult parsed = ParseLog(source, 4, 0, points);
  EXPECT_TRUE(parsed.ok);
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[1].rmcTimeText, "120001");
  EXPECT_EQ(points[2].rmcTimeText, "");
  EXPECT_EQ(points[3].utcTime, 0);
}

TEST(LogReader, GeneratedLoggerLayout) {
  test::LogPlan plan;
  plan.epochs = 50;
  plan.lapEpochs = {10, 30};
  plan.waypointEpochs = {20};
  std::vector<test::GeneratedFix> fixes;
  const ReadLog log = Read(test::GenerateLog(plan, &fixes), 900);
  ASSERT_EQ(log.scan.pointCount, 50u);
  EXPECT_EQ(log.scan.lapCount, 2);
  EXPECT_EQ(log.scan.waypointCount, 1);
  ASSERT_TRUE(log.parse.ok);
  for (std::size_t k = 0; k < fixes.size(); ++k) {
    const TrackPoint& p = log.points[k];
    EXPECT_EQ(p.utcTime, fixes[k].utcSeconds);
    EXPECT_EQ(p.localTime, ShiftByZone(fixes[k].utcSeconds, 900));
    EXPECT_EQ(p.rmcTimeText, fixes[k].rmcTime);
    EXPECT_EQ(p.ggaMatchesRmc, 1);
    EXPECT_NEAR(p.altitude, fixes[k].altitude, 1e-9);
    EXPECT_EQ(p.isLap, k == 10 || k == 30 ? 1 : 0) << k;
    EXPECT_EQ(p.isWaypoint, k == 20 ? 1 : 0) << k;
    EXPECT_EQ(p.deviceValue, static_cast<int>(fixes[k == 49 ? 48 : k].altitude) + 3) << k;
  }
  EXPECT_EQ(log.scan.utcStart, fixes.front().utcSeconds);
  EXPECT_EQ(log.scan.localEnd, ShiftByZone(fixes.back().utcSeconds, 900));
}

// A u-blox M9 writes every sentence with the talker of its system (GN for the fix), the RMC
// first in the epoch, and the fields of NMEA 4.11.
TEST(LogReader, MultiSystemReceiverLayout) {
  test::LogPlan plan;
  plan.epochs = 40;
  std::vector<test::GeneratedFix> fixes;
  const ReadLog log = Read(test::GenerateMultiSystemLog(plan, &fixes), 900);
  ASSERT_EQ(log.scan.problem, ScanProblem::kNone);
  ASSERT_EQ(log.scan.pointCount, 40u);
  EXPECT_EQ(log.scan.utcStart, fixes.front().utcSeconds);
  EXPECT_EQ(log.scan.localEnd, ShiftByZone(fixes.back().utcSeconds, 900));
  ASSERT_TRUE(log.parse.ok);
  for (std::size_t k = 0; k < fixes.size(); ++k) {
    const TrackPoint& p = log.points[k];
    EXPECT_EQ(p.utcTime, fixes[k].utcSeconds) << k;
    EXPECT_EQ(p.rmcTimeText, fixes[k].rmcTime) << k;
    EXPECT_EQ(p.isValid, 1) << k;
    EXPECT_NEAR(PackedToDegrees(p.latitude), fixes[k].latitude, 1e-9) << k;
    EXPECT_NEAR(PackedToDegrees(p.longitude), fixes[k].longitude, 1e-9) << k;
    // The GGA after the RMC is of the same epoch, the last one's as well.
    EXPECT_EQ(p.ggaTimeText, p.rmcTimeText) << k;
    EXPECT_EQ(p.ggaMatchesRmc, 1) << k;
    EXPECT_NEAR(p.altitude, fixes[k].altitude, 1e-9) << k;
    EXPECT_EQ(p.differential, 1) << k;
    EXPECT_EQ(p.fixTypeText, "3") << k;
    EXPECT_DOUBLE_EQ(p.dop, 1.02) << k;
    EXPECT_DOUBLE_EQ(p.hdop, 0.58) << k;
    // Every system's satellites, each once, the signal ids never taken as satellites.
    EXPECT_EQ(p.satellitesInView, test::kMultiSystemSatellites) << k;
    ASSERT_EQ(p.satelliteText.substr(0, 3), "22,") << k;
    EXPECT_EQ(std::count(p.satelliteText.begin(), p.satelliteText.end(), ','),
              4 * test::kMultiSystemSatellites)
        << k;
  }
  EXPECT_EQ(log.points[0].satelliteText.substr(3, 6), "02,10,");  // the first GPS satellite
}

TEST(LogReader, SatellitesOfSeveralSignalsOfOneSystemCountOnce) {
  // NMEA 4.10 dual-band: GPS L1 (signal 1) and L2 (signal 6) list the same two satellites.
  const std::string epoch =
      Rmc("120000.00", "170509") +
      NmeaSentence("GNGGA,120000.00,3723.4567,N,12658.1234,E,1,03,0.9,45.3,M,18.2,M,,") +
      NmeaSentence("GPGSV,1,1,02,01,40,083,46,02,17,308,41,1") +
      NmeaSentence("GPGSV,1,1,02,01,40,083,40,02,17,308,38,6") +
      NmeaSentence("GLGSV,1,1,01,65,20,100,30,1");
  const ReadLog log = Read(epoch + Rmc("120001.00", "170509"));
  ASSERT_EQ(log.points.size(), 2u);
  EXPECT_EQ(log.points[0].satellitesInView, 3);
  EXPECT_EQ(log.points[0].satelliteText, "03,01,40,083,46,02,17,308,41,65,20,100,30");
  EXPECT_EQ(log.points[0].ggaMatchesRmc, 1);
}

TEST(LogReader, ASecondSequenceOfOneSystemInAnEpochReplacesTheFirst) {
  // A single-system receiver that lost an RMC: the newer sequence is the one kept.
  const std::string data = NmeaSentence("GPGSV,1,1,02,01,40,083,46,02,17,308,41") +
                           NmeaSentence("GPGSV,1,1,01,03,20,100,30") + Rmc("120000", "170509");
  const ReadLog log = Read(data);
  ASSERT_EQ(log.points.size(), 1u);
  EXPECT_EQ(log.points[0].satellitesInView, 1);
  EXPECT_EQ(log.points[0].satelliteText, "01,03,20,100,30");
}

// Messages that never start a sequence again add to the summary of the last first message,
// as the grammar says, but only up to a bound: a damaged or hostile log of a million such
// epochs must not hold (and copy for every point) a summary of a million groups.
TEST(LogReader, SequencesThatNeverStartAgainAddToOneBoundedSummary) {
  const std::string last =
      NmeaSentence("GPGSV,2,2,08,15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33");
  std::string data =
      NmeaSentence("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45") + last +
      Rmc("120000", "170509");
  for (int epoch = 1; epoch < 3000; ++epoch) {
    char time[8];
    std::snprintf(time, sizeof time, "%06d", 120000 + (epoch / 60) * 100 + epoch % 60);
    data += last + Rmc(time, "170509");
  }
  const ReadLog log = Read(data);
  ASSERT_EQ(log.points.size(), 3000u);
  const std::string groupsOfLast = ",15,10,100,30,16,20,200,31,17,30,300,32,18,40,040,33";
  EXPECT_EQ(log.points[1].satelliteText, log.points[0].satelliteText + groupsOfLast);
  EXPECT_LE(log.points.back().satelliteText.size(),
            2 + kMostSatelliteGroupBytes + groupsOfLast.size());
  EXPECT_GE(log.points.back().satelliteText.size(), kMostSatelliteGroupBytes);
}

TEST(LogReader, AGgaAfterTheRmcOfALoggerLogStaysWithTheNextPoint) {
  // The logger writes the RMC last: a GGA after it belongs to the next epoch.
  const std::string data =
      NmeaSentence("GPGGA,120000,3723.4567,N,12658.1234,E,1,08,0.9,10.0,M,18.2,M,,") +
      Rmc("120000", "170509") +
      NmeaSentence("GPGGA,120001,3723.4567,N,12658.1234,E,1,08,0.9,20.0,M,18.2,M,,") +
      Rmc("120001", "170509");
  const ReadLog log = Read(data);
  ASSERT_EQ(log.points.size(), 2u);
  EXPECT_DOUBLE_EQ(log.points[0].altitude, 10.0);
  EXPECT_DOUBLE_EQ(log.points[1].altitude, 20.0);
  EXPECT_EQ(log.points[1].ggaMatchesRmc, 1);
}

TEST(LogReader, AFixWithNumbersNoReceiverWritesIsNoUsablePoint) {
  const std::vector<test::ReplacedFields> unmeasurable = test::UnmeasurableFields(1);
  test::LogPlan plan{.epochs = static_cast<int>(unmeasurable.size()) + 3,
                     .replacedFields = unmeasurable};
  // The edges of the globe are places all the same.
  plan.replacedFields.push_back(
      {.epoch = plan.epochs - 1, .latitude = "9000.0000", .longitude = "18000.0000"});
  const ReadLog log = Read(test::GenerateLog(plan));
  ASSERT_EQ(log.points.size(), static_cast<std::size_t>(plan.epochs));
  for (std::size_t k = 0; k < log.points.size(); ++k) {
    const TrackPoint& p = log.points[k];
    const bool replaced = k >= 1 && k <= unmeasurable.size();
    EXPECT_EQ(IsUsable(p), !replaced) << k;
    for (const double value : {p.latitude, p.longitude, p.altitude, p.speed, p.course}) {
      EXPECT_TRUE(std::isfinite(value)) << k;
    }
    EXPECT_LE(p.altitude, kMostAltitudeMetres) << k;
    EXPECT_LE(p.speed, kMostSpeedKmh) << k;
  }
  EXPECT_DOUBLE_EQ(log.points.back().latitude, 9000);
  EXPECT_DOUBLE_EQ(log.points.back().longitude, 18000);
  // What is known of an unusable fix stays: its time, its other fields.
  EXPECT_EQ(log.points[8].utcTime, log.points[0].utcTime + 8);
  EXPECT_NE(log.points[8].latitudeRef, "");
  EXPECT_GT(log.points[1].altitude, 0);
}

TEST(LogReader, TheParseCanRunAgainWithTheSameResult) {
  const std::string data = test::GenerateLog({.epochs = 20});
  const ReadLog first = Read(data);
  const ReadLog second = Read(data);
  ASSERT_EQ(first.points.size(), second.points.size());
  for (std::size_t k = 0; k < first.points.size(); ++k) {
    EXPECT_EQ(first.points[k].satelliteText, second.points[k].satelliteText);
    EXPECT_EQ(first.points[k].utcTime, second.points[k].utcTime);
  }
}

}  // namespace
}  // namespace trevalo
