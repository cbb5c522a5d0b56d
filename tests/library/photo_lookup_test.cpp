#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "library/photo_lookup.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "track/geodesy.h"

namespace trevalo {
namespace {

const QString kFormat = QStringLiteral("%s %d %02d %05.2f");

// Logs 10:00-11:00 and 13:00-13:30 (UTC, zone 0), one point a minute.
class PhotoLookup : public ::testing::Test {
 protected:
  PhotoLookup() {
    const auto make = [&](const char* name, int hour, int epochs) {
      const QString path = dir_.filePath(QString::fromLatin1(name));
      test::WriteFile(path,
                      test::GenerateLog({.hour = hour, .epochs = epochs, .intervalSeconds = 60}));
      return LogRecord{path, 0, 0, {}, 0};
    };
    library_ = std::make_unique<LogLibrary>(
        LogLibrary::InMemory({make("morning.log", 10, 61), make("noon.log", 13, 31)}, 0));
  }
  MatchResult Match(const char* time, int tolerance, std::int64_t span = 0) {
    MatchSettings settings;
    settings.tolerance = tolerance;
    settings.cameraCorrection = span != 0;
    settings.cameraSpan = span;
    return MatchPhotoTime(*library_, time, settings);
  }
  QTemporaryDir dir_;
  std::unique_ptr<LogLibrary> library_;
};

TEST_F(PhotoLookup, InsideALog) {
  const MatchResult result = Match("2009:05:17 10:30:10", 0);
  EXPECT_TRUE(result.matched);
  EXPECT_EQ(result.logIndex, std::optional<std::size_t>(0));
  EXPECT_EQ(result.pointIndex, 30u);
  EXPECT_EQ(IsoTimeText(result.point.localTime), "2009-05-17 10:30:00");
  EXPECT_EQ(library_->heldLog(), std::optional<std::size_t>(0));
  EXPECT_EQ(library_->activeLogs(), std::vector<std::size_t>{0});
}

TEST_F(PhotoLookup, ToleranceZeroMeansTenMinutes) {
  EXPECT_TRUE(Match("2009:05:17 11:10:00", 0).matched);   // 600 s after the end
  EXPECT_FALSE(Match("2009:05:17 11:10:01", 0).matched);  // 601 s
  EXPECT_TRUE(Match("2009:05:17 09:50:00", 0).matched);
  EXPECT_FALSE(Match("2009:05:17 09:49:59", 0).matched);
}

TEST_F(PhotoLookup, ToleranceInHours) {
  EXPECT_TRUE(Match("2009:05:17 08:00:00", 2).matched);  // two hours before the start
  EXPECT_FALSE(Match("2009:05:17 07:59:59", 2).matched);
  // Outside every log the nearest log and its nearest point are still the current point.
  const MatchResult outside = Match("2009:05:17 07:59:59", 2);
  EXPECT_EQ(outside.logIndex, std::optional<std::size_t>(0));
  EXPECT_EQ(outside.pointIndex, 0u);
}

TEST_F(PhotoLookup, NoLimitPlacesEveryPhotoOnTheNearestLog) {
  const MatchResult later = Match("2009:05:17 18:00:00", 99);
  EXPECT_TRUE(later.matched);
  EXPECT_EQ(later.logIndex, std::optional<std::size_t>(1));
  EXPECT_EQ(later.pointIndex, 30u);
  // Five minutes after the first log's end, and no log contains it.
  const MatchResult between = Match("2009:05:17 11:05:00", 99);
  EXPECT_TRUE(between.matched);
  EXPECT_EQ(between.logIndex, std::optional<std::size_t>(0));
}

TEST_F(PhotoLookup, EqualDistanceKeepsTheEarlierLog) {
  // 12:00 is an hour from the morning log's end and an hour from the noon log's start.
  EXPECT_EQ(Match("2009:05:17 12:00:00", 99).logIndex, std::optional<std::size_t>(0));
  EXPECT_EQ(Match("2009:05:17 12:00:01", 99).logIndex, std::optional<std::size_t>(1));
}

TEST_F(PhotoLookup, CameraCorrection) {
  // A camera an hour slow: its 09:30 is 10:30.
  const MatchResult result = Match("2009:05:17 09:30:00", 0, 3600);
  EXPECT_TRUE(result.matched);
  EXPECT_EQ(IsoTimeText(result.photoTime), "2009-05-17 10:30:00");
  EXPECT_EQ(result.pointIndex, 30u);
  EXPECT_EQ(IsoTimeText(Match("2009:05:17 12:00:00", 0, -330).photoTime), "2009-05-17 11:54:30");
}

TEST_F(PhotoLookup, DatesThatAreNoDates) {
  const MatchResult zeros = Match("0000:00:00 00:00:00", 0);
  EXPECT_FALSE(zeros.matched);
  EXPECT_EQ(zeros.dateProblem, QStringLiteral("00000000"));
  const MatchResult shortText = Match("2009:05:17", 0);
  EXPECT_FALSE(shortText.matched);
  EXPECT_TRUE(shortText.dateProblem.isEmpty());
  EXPECT_EQ(Match("2009:13:17 10:30:00", 0).dateProblem, QStringLiteral("20091317"));
  const LogLibrary empty = LogLibrary::InMemory({}, 0);
  LogLibrary copy = LogLibrary::InMemory({}, 0);
  EXPECT_FALSE(MatchPhotoTime(copy, "2009:05:17 10:30:00", {}).matched);
  // The date is checked without logs too.
  EXPECT_EQ(MatchPhotoTime(copy, "0000:00:00 00:00:00", {}).dateProblem,
            QStringLiteral("00000000"));
}

TEST(PhotoLookupOfABrokenLog, IsNoMatchAndSaysWhy) {
  // Start and end read well; a point in between has an hour that does not exist.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("broken.log"));
  test::WriteFile(path,
                  test::GenerateLog({.hour = 10,
                                     .epochs = 61,
                                     .intervalSeconds = 60,
                                     .replacedFields = {{.epoch = 30, .time = "250000.000"}}}));
  LogLibrary library = LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0);
  ASSERT_EQ(library.size(), 1u);
  for (const int tolerance : {0, 99}) {
    MatchSettings settings;
    settings.tolerance = tolerance;
    const MatchResult result = MatchPhotoTime(library, "2009:05:17 10:10:00", settings);
    EXPECT_FALSE(result.matched);
    EXPECT_TRUE(result.logProblem.contains(path)) << result.logProblem.toStdString();
    EXPECT_TRUE(result.logProblem.contains(QStringLiteral("out of range")));
    EXPECT_EQ(result.point.latitude, 0.0);
  }
}

TEST(PhotoLookupOfABrokenLog, ANearestPointWithoutPositionIsNoMatch) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("gap.log"));
  test::WriteFile(path, test::GenerateLog({.hour = 10,
                                           .epochs = 61,
                                           .intervalSeconds = 60,
                                           .replacedFields = {{.epoch = 30, .latitude = "nan"}}}));
  LogLibrary library = LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0);
  const MatchResult onTheGap = MatchPhotoTime(library, "2009:05:17 10:30:10", {});
  EXPECT_FALSE(onTheGap.matched);
  EXPECT_TRUE(onTheGap.logProblem.contains(QStringLiteral("has no position")));
  const MatchResult beside = MatchPhotoTime(library, "2009:05:17 10:31:10", {});
  EXPECT_TRUE(beside.matched);
  EXPECT_EQ(beside.pointIndex, 31u);
}

// A walk logged every 10 s from 10:00:00 (UTC, zone 0), 3 m north and 4 m east a fix; the
// fix of 10:01:00 has no position, and the log pauses 61 s after 10:02:00.
class InterpolatedLookup : public ::testing::Test {
 protected:
  InterpolatedLookup() {
    const QString path = dir_.filePath(QStringLiteral("walk.log"));
    std::string log = test::GenerateLog({.hour = 10,
                                         .epochs = 13,
                                         .intervalSeconds = 10,
                                         .replacedFields = {{.epoch = 6, .latitude = "nan"}}},
                                        &fixes_);
    log += test::GenerateLog({.hour = 10, .minute = 3, .second = 1, .epochs = 2}, &fixes_);
    test::WriteFile(path, log);
    library_ = std::make_unique<LogLibrary>(LogLibrary::InMemory({{path, 0, 0, {}, 0}}, 0));
  }
  MatchResult Match(const char* time, bool interpolate, int maxGap = 60) {
    MatchSettings settings;
    settings.interpolate = interpolate;
    settings.maxGapSeconds = maxGap;
    return MatchPhotoTime(*library_, time, settings);
  }
  static double Degrees(double packed, const std::string& reference) {
    return PackedToDegrees(packed) * (reference == "S" || reference == "W" ? -1 : 1);
  }
  QTemporaryDir dir_;
  std::vector<test::GeneratedFix> fixes_;
  std::unique_ptr<LogLibrary> library_;
};

TEST_F(InterpolatedLookup, PlacesAPhotoBetweenTheFixesAroundItsTime) {
  const MatchResult result = Match("2009:05:17 10:00:17", true);
  ASSERT_TRUE(result.matched);
  ASSERT_TRUE(result.between);
  EXPECT_EQ(result.between->before, 1u);
  EXPECT_EQ(result.between->after, 2u);
  EXPECT_EQ(result.pointIndex, 2u);  // the nearer fix gives speed and course
  const double share = 0.7;
  EXPECT_NEAR(Degrees(result.point.latitude, result.point.latitudeRef),
              fixes_[1].latitude + share * (fixes_[2].latitude - fixes_[1].latitude), 1e-9);
  EXPECT_NEAR(Degrees(result.point.longitude, result.point.longitudeRef),
              fixes_[1].longitude + share * (fixes_[2].longitude - fixes_[1].longitude), 1e-9);
  EXPECT_NEAR(result.point.SignedAltitude(),
              fixes_[1].altitude + share * (fixes_[2].altitude - fixes_[1].altitude), 1e-9);
  EXPECT_EQ(IsoTimeText(result.point.utcTime), "2009-05-17 10:00:17");
}

TEST_F(InterpolatedLookup, AtAFixTakesThatFixAsItIs) {
  const MatchResult on = Match("2009:05:17 10:00:20", true);
  const MatchResult off = Match("2009:05:17 10:00:20", false);
  ASSERT_TRUE(on.matched);
  EXPECT_FALSE(on.between);
  EXPECT_EQ(on.point.isInterpolated, 0);
  EXPECT_EQ(on.point.latitude, off.point.latitude);
  EXPECT_EQ(on.point.longitude, off.point.longitude);
  EXPECT_EQ(on.point.utcTimeOfDay, off.point.utcTimeOfDay);
}

TEST_F(InterpolatedLookup, OffItIsTheNearestFix) {
  const MatchResult result = Match("2009:05:17 10:00:17", false);
  ASSERT_TRUE(result.matched);
  EXPECT_FALSE(result.between);
  EXPECT_EQ(result.pointIndex, 2u);
  EXPECT_EQ(result.point.isInterpolated, 0);
  EXPECT_NEAR(Degrees(result.point.latitude, result.point.latitudeRef), fixes_[2].latitude, 1e-12);
}

TEST_F(InterpolatedLookup, FixesFurtherApartThanTheGapGiveTheNearestFix) {
  // 10 s apart: placed between them with a gap of 10, not with 9.
  EXPECT_TRUE(Match("2009:05:17 10:00:17", true, 10).between);
  const MatchResult narrow = Match("2009:05:17 10:00:17", true, 9);
  EXPECT_TRUE(narrow.matched);
  EXPECT_FALSE(narrow.between);
  EXPECT_EQ(narrow.pointIndex, 2u);
  // The pause of 61 s after 10:02:00 is more than the default gap.
  const MatchResult pause = Match("2009:05:17 10:02:20", true);
  EXPECT_TRUE(pause.matched);
  EXPECT_FALSE(pause.between);
  EXPECT_EQ(pause.pointIndex, 12u);
  EXPECT_TRUE(Match("2009:05:17 10:02:20", true, 61).between);
}

TEST_F(InterpolatedLookup, AFixWithoutPositionIsNotInterpolatedFrom) {
  // Between 10:00:50 and the fix without position at 10:01:00: the nearest usable fix.
  const MatchResult before = Match("2009:05:17 10:00:53", true);
  EXPECT_TRUE(before.matched);
  EXPECT_FALSE(before.between);
  EXPECT_EQ(before.pointIndex, 5u);
  // Nearer the fix without position: no position, as without interpolation.
  const MatchResult nearer = Match("2009:05:17 10:00:58", true);
  EXPECT_FALSE(nearer.matched);
  EXPECT_TRUE(nearer.logProblem.contains(QStringLiteral("has no position")));
}

TEST(PositionTexts, PlainAndCorrected) {
  TrackPoint p;
  p.latitude = 3723.4567;
  p.latitudeRef = "S";
  p.longitude = 12658.1234;
  p.longitudeRef = "E";
  p.altitude = 12.5;
  p.altitudeBelowSea = 1;
  MatchSettings off;
  EXPECT_EQ(LatitudeText(p, off, kFormat), QStringLiteral("S 37 23 27.40"));
  EXPECT_EQ(LongitudeText(p, off, kFormat), QStringLiteral("E 126 58 07.40"));
  EXPECT_EQ(AltitudeText(p), QStringLiteral("-12.5 m"));
  // Corrected, a southern point shows positive figures and keeps its letter.
  MatchSettings on;
  on.positionCorrection = true;
  on.latitudeOffset = 500;
  on.longitudeOffset = -250;
  EXPECT_EQ(LatitudeText(p, on, kFormat), QStringLiteral("S 37 23 22.40"));
  EXPECT_EQ(LongitudeText(p, on, kFormat), QStringLiteral("E 126 58 04.90"));
  // The offsets count only while the correction is on.
  on.positionCorrection = false;
  EXPECT_EQ(LatitudeText(p, on, kFormat), QStringLiteral("S 37 23 27.40"));
  // Across the equator the letter follows the sign.
  EXPECT_EQ(CoordinateText(0.05, "S", 500, true, kFormat), QStringLiteral("N 0 00 02.00"));
}

// A walk logged every second from 17:00:00 UTC, given the zone +09:00 (the computer's).
class PhotoClock : public ::testing::Test {
 protected:
  PhotoClock() {
    const QString path = dir_.filePath(QStringLiteral("walk.log"));
    test::WriteFile(
        path, test::GenerateLog({.year = 2021, .month = 2, .day = 13, .hour = 17, .epochs = 600},
                                &fixes_));
    library_ = std::make_unique<LogLibrary>(LogLibrary::InMemory({{path, 0, 0, {}, 900}}, 0));
  }
  double LatitudeOf(const MatchResult& result) const {
    return PackedToDegrees(result.point.latitude);
  }
  // Where the walk is at `utcMillis`; the generated fixes carry fractions of a second.
  double LatitudeAt(std::int64_t utcMillis) const {
    return test::LatitudeAtMillis(fixes_, utcMillis);
  }
  static std::int64_t UtcMillis(int hour, int minute, int second, int millis) {
    return (*MakeTime(2021, 2, 13, hour, minute, second)) * 1000 + millis;
  }
  QTemporaryDir dir_;
  std::vector<test::GeneratedFix> fixes_;
  std::unique_ptr<LogLibrary> library_;
};

TEST_F(PhotoClock, AZoneTheCameraRecordedMatchesItsUtcInstantWithTheCorrectionOnTop) {
  // An iPhone's photo: 11:03:31.864 at -06:00 is 17:03:31.864 UTC, 02:03:31 in the log's zone.
  const CaptureDetail phone{864, -6 * 3600};
  MatchSettings settings;
  const MatchResult byZone = MatchPhotoTime(*library_, "2021:02:13 11:03:31", settings, phone);
  ASSERT_TRUE(byZone.matched);
  EXPECT_TRUE(byZone.byPhotoZone);
  EXPECT_EQ(IsoTimeText(byZone.photoTime), "2021-02-14 02:03:31");  // the log's local time
  EXPECT_EQ(byZone.pointIndex, 211u);                               // the fix of 17:03:31.807
  // The camera correction applies to the camera's clock, before its zone.
  settings.SetCameraSpan(true, -60);
  EXPECT_EQ(MatchPhotoTime(*library_, "2021:02:13 11:03:31", settings, phone).pointIndex, 151u);
  // Ignoring the zone, the camera's time is read in the log's zone: nowhere near the walk.
  settings.SetCameraSpan(false, 0);
  settings.usePhotoZone = false;
  const MatchResult ignored = MatchPhotoTime(*library_, "2021:02:13 11:03:31", settings, phone);
  EXPECT_FALSE(ignored.matched);
  EXPECT_FALSE(ignored.byPhotoZone);
  // A photo without a recorded zone is matched as it always was, in the log's zone.
  EXPECT_EQ(MatchPhotoTime(*library_, "2021:02:14 02:03:31", {}).pointIndex, 211u);
}

TEST_F(PhotoClock, FractionsOfASecondPlaceTwoPhotosOfOneSecondApart) {
  // Fixes at 17:03:30.770, 17:03:31.807 and 17:03:32.844 (the receiver's own fractions).
  MatchSettings settings;
  settings.interpolate = true;
  const MatchResult early =
      MatchPhotoTime(*library_, "2021:02:14 02:03:31", settings, {250, std::nullopt});
  const MatchResult late =
      MatchPhotoTime(*library_, "2021:02:14 02:03:31", settings, {900, std::nullopt});
  ASSERT_TRUE(early.between && late.between);
  EXPECT_EQ(early.between->before, 210u);
  EXPECT_EQ(late.between->before, 211u);
  EXPECT_NEAR(LatitudeOf(early), LatitudeAt(UtcMillis(17, 3, 31, 250)), 1e-9);
  EXPECT_NEAR(LatitudeOf(late), LatitudeAt(UtcMillis(17, 3, 31, 900)), 1e-9);
  // Nearest fixes without interpolation: the fractions decide between them.
  settings.interpolate = false;
  EXPECT_EQ(
      MatchPhotoTime(*library_, "2021:02:14 02:03:31", settings, {250, std::nullopt}).pointIndex,
      210u);
  EXPECT_EQ(
      MatchPhotoTime(*library_, "2021:02:14 02:03:31", settings, {900, std::nullopt}).pointIndex,
      211u);
}

TEST_F(PhotoClock, ADriftingCameraClockIsCorrectedInProportionToItsTime) {
  // Right at 02:00:00 (camera 02:00:00), a minute slow by 03:00:00 (camera 02:59:00): the
  // correction grows by a second each 59 seconds of camera time.
  MatchSettings settings;
  const TimeValue first = *MakeTime(2021, 2, 14, 2, 0, 0);
  ASSERT_TRUE(settings.SetCameraReferences(first, first, first + 3540, first + 3600));
  EXPECT_DOUBLE_EQ(settings.CameraCorrectionAt(first + 1770), 30.0);
  EXPECT_DOUBLE_EQ(settings.CameraCorrectionAt(first - 590), -10.0);  // and before it
  // Camera 02:05:54 is 02:06:00: the fix of 17:06:00 UTC, not that of 17:05:54.
  const MatchResult result = MatchPhotoTime(*library_, "2021:02:14 02:05:54", settings);
  ASSERT_TRUE(result.matched);
  EXPECT_EQ(result.pointIndex, 360u);
  EXPECT_EQ(IsoTimeText(result.photoTime), "2021-02-14 02:06:00");
  // The drift's fractions of a second count: camera 02:00:30 is 02:00:30.508.
  settings.interpolate = true;
  const MatchResult between = MatchPhotoTime(*library_, "2021:02:14 02:00:30", settings);
  ASSERT_TRUE(between.between);
  EXPECT_EQ(between.between->before, 30u);
  EXPECT_NEAR(LatitudeOf(between), LatitudeAt(UtcMillis(17, 0, 30, 508)), 1e-9);
  // Two references at one camera time say nothing of a drift, and change nothing.
  MatchSettings same;
  EXPECT_FALSE(same.SetCameraReferences(first, first, first, first + 60));
  EXPECT_FALSE(same.cameraCorrection);
}

}  // namespace
}  // namespace trevalo
