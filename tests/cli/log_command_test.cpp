#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli/cli_runner.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::RunCli;

class LogCommand : public ::testing::Test {
 protected:
  LogCommand() {
    good_ = dir_.filePath(QStringLiteral("0517.log"));
    test::WriteFile(good_, test::GenerateLog({.hour = 23,
                                              .minute = 59,
                                              .epochs = 90,
                                              .lapEpochs = {10},
                                              .waypointEpochs = {20, 30}}));
    noTimes_ = dir_.filePath(QStringLiteral("empty.log"));
    test::WriteFile(noTimes_, "$GPGGA,,,,,,0,,,,M,,M,,*66\r\n");
  }
  QString Home() const { return dir_.filePath(QStringLiteral("home")); }
  QTemporaryDir dir_;
  QString good_;
  QString noTimes_;
};

TEST_F(LogCommand, InfoAsText) {
  const auto result = RunCli({QStringLiteral("log"), QStringLiteral("info"), good_,
                              QStringLiteral("--zone"), QStringLiteral("-330")},
                             Home());
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_EQ(result.out, (good_ + QStringLiteral("\n"
                                                "  points 90, laps 1, waypoints 2\n"
                                                "  zone -03:30 (summer time off)\n"
                                                "  UTC start   2009-05-17 23:59:00\n"
                                                "  local start 2009-05-17 20:29:00\n"
                                                "  local end   2009-05-17 20:30:29\n"))
                            .toUtf8());
}

TEST_F(LogCommand, InfoAsJsonWithSummerTimeAndTheComputersZone) {
  const auto result = RunCli({QStringLiteral("log"), QStringLiteral("info"),
                              QStringLiteral("--json"), QStringLiteral("--summer"), good_},
                             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray logs = result.Json().array();
  ASSERT_EQ(logs.size(), 1);
  const QJsonObject log = logs[0].toObject();
  EXPECT_EQ(log[QStringLiteral("file")].toString(), good_);
  EXPECT_EQ(log[QStringLiteral("pointCount")].toInt(), 90);
  EXPECT_EQ(log[QStringLiteral("lapCount")].toInt(), 1);
  EXPECT_EQ(log[QStringLiteral("waypointCount")].toInt(), 2);
  EXPECT_TRUE(log[QStringLiteral("hasTimes")].toBool());
  EXPECT_EQ(log[QStringLiteral("timeZone")].toInt(), 900);  // Asia/Seoul
  EXPECT_EQ(log[QStringLiteral("summerTime")].toInt(), 100);
  EXPECT_EQ(log[QStringLiteral("utcStart")].toString(), QStringLiteral("2009-05-17 23:59:00"));
  EXPECT_EQ(log[QStringLiteral("localStart")].toString(), QStringLiteral("2009-05-18 09:59:00"));
  EXPECT_EQ(log[QStringLiteral("localEnd")].toString(), QStringLiteral("2009-05-18 10:00:29"));
  // The display format of the language file (English without a settings file here).
  EXPECT_EQ(log[QStringLiteral("startText")].toString(), QStringLiteral("2009-05-18 09:59:00"));
}

// The same track as a u-blox M9 writes it, as GPX 1.0 and as GPX 1.1: the same counts and
// the same local times as the logger's own log of it.
TEST_F(LogCommand, LogsOfOtherReceiversAndGpxTracksReadAsTheLoggersOwn) {
  const test::LogPlan plan{.hour = 23, .minute = 59, .epochs = 90, .waypointEpochs = {20}};
  const QString ublox = dir_.filePath(QStringLiteral("m9.nmea"));
  const QString gpx10 = dir_.filePath(QStringLiteral("track10.gpx"));
  const QString gpx11 = dir_.filePath(QStringLiteral("track11.gpx"));
  // With sentences changed on the way (their checksums left as they were): refused and told.
  std::uint32_t refused = 0;
  test::WriteFile(ublox, test::AddReceiverNoise(test::GenerateMultiSystemLog(plan),
                                                test::ReceiverNoise::kCorruptedCopies, &refused));
  ASSERT_EQ(refused, 90u);
  test::WriteFile(gpx10, test::GenerateGpx(plan, 10, 2));
  test::WriteFile(gpx11, test::GenerateGpx(plan, 11, 2));
  const auto result =
      RunCli({QStringLiteral("log"), QStringLiteral("info"), QStringLiteral("--json"),
              QStringLiteral("--zone"), QStringLiteral("-330"), good_, ublox, gpx10, gpx11},
             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray logs = result.Json().array();
  ASSERT_EQ(logs.size(), 4);
  for (const QJsonValue& value : logs) {
    const QJsonObject log = value.toObject();
    const QString file = log[QStringLiteral("file")].toString();
    const bool isGpx = file.endsWith(QStringLiteral(".gpx"));
    EXPECT_TRUE(log[QStringLiteral("hasTimes")].toBool()) << file.toStdString();
    if (file != good_) {  // the logger's log has marks of its own
      // A GPX waypoint is a point of its own; a segment after the first starts a lap.
      EXPECT_EQ(log[QStringLiteral("pointCount")].toInt(), isGpx ? 91 : 90) << file.toStdString();
      EXPECT_EQ(log[QStringLiteral("lapCount")].toInt(), isGpx ? 1 : 0) << file.toStdString();
      EXPECT_EQ(log[QStringLiteral("waypointCount")].toInt(), isGpx ? 1 : 0) << file.toStdString();
    }
    EXPECT_EQ(log[QStringLiteral("refusedCount")].toInt(-1), file == ublox ? 90 : 0);
    EXPECT_EQ(log[QStringLiteral("localStart")].toString(), QStringLiteral("2009-05-17 20:29:00"));
    EXPECT_EQ(log[QStringLiteral("localEnd")].toString(), QStringLiteral("2009-05-17 20:30:29"));
  }
  const auto points =
      RunCli({QStringLiteral("log"), QStringLiteral("points"), QStringLiteral("--json"),
              QStringLiteral("--zone"), QStringLiteral("-330"), ublox},
             Home());
  ASSERT_EQ(points.exitCode, 0) << points.err.toStdString();
  EXPECT_EQ(points.Json().array().size(), 90);
  const auto text = RunCli({QStringLiteral("log"), QStringLiteral("info"), ublox}, Home());
  EXPECT_TRUE(text.out.contains("  refused 90 RMC sentences with a wrong checksum\n"))
      << text.out.toStdString();
}

TEST_F(LogCommand, BadFilesAreNamedAndTheOthersStillReported) {
  const QString missing = dir_.filePath(QStringLiteral("missing.log"));
  const auto result = RunCli({QStringLiteral("log"), QStringLiteral("info"),
                              QStringLiteral("--json"), missing, noTimes_, good_},
                             Home());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(
      result.err.contains((missing + QStringLiteral(": No such file or directory")).toUtf8()))
      << result.err.toStdString();
  EXPECT_TRUE(
      result.err.contains((noTimes_ + QStringLiteral(": no RMC sentence with a time")).toUtf8()))
      << result.err.toStdString();
  const QJsonArray logs = result.Json().array();
  ASSERT_EQ(logs.size(), 3);
  EXPECT_TRUE(logs[0].toObject().contains(QStringLiteral("error")));
  EXPECT_TRUE(logs[1].toObject().contains(QStringLiteral("error")));
  EXPECT_EQ(logs[2].toObject()[QStringLiteral("pointCount")].toInt(), 90);

  const auto text = RunCli({QStringLiteral("log"), QStringLiteral("info"), missing, good_}, Home());
  EXPECT_EQ(text.exitCode, 1);
  EXPECT_TRUE(text.out.contains("points 90"));
}

TEST_F(LogCommand, ALogWithoutAUsableTimeStillHasItsCounts) {
  // Every RMC time out of range: the sentences are counted, the log has no time.
  std::vector<test::ReplacedFields> hours;
  for (int epoch = 0; epoch < 6; ++epoch) {
    hours.push_back({.epoch = epoch, .time = "993000.000"});
  }
  const QString timeless = dir_.filePath(QStringLiteral("timeless.log"));
  test::WriteFile(
      timeless,
      test::GenerateLog(
          {.epochs = 6, .lapEpochs = {2}, .waypointEpochs = {3, 4}, .replacedFields = hours}));
  const auto result = RunCli(
      {QStringLiteral("log"), QStringLiteral("info"), QStringLiteral("--json"), timeless}, Home());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.err.contains(timeless.toUtf8() + ": ")) << result.err.toStdString();
  const QJsonArray logs = result.Json().array();
  ASSERT_EQ(logs.size(), 1);
  const QJsonObject log = logs[0].toObject();
  EXPECT_FALSE(log[QStringLiteral("error")].toString().isEmpty());
  EXPECT_EQ(log[QStringLiteral("pointCount")].toInt(-1), 6);
  EXPECT_EQ(log[QStringLiteral("lapCount")].toInt(-1), 1);
  EXPECT_EQ(log[QStringLiteral("waypointCount")].toInt(-1), 2);
  ASSERT_TRUE(log.contains(QStringLiteral("hasTimes")));
  EXPECT_FALSE(log[QStringLiteral("hasTimes")].toBool(true));
  EXPECT_FALSE(log.contains(QStringLiteral("utcStart")));  // no time to show

  // A file that cannot be read has nothing to count.
  const auto missing = RunCli({QStringLiteral("log"), QStringLiteral("info"),
                               QStringLiteral("--json"), dir_.filePath(QStringLiteral("gone.log"))},
                              Home());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_FALSE(missing.Json().array()[0].toObject().contains(QStringLiteral("pointCount")));
}

TEST_F(LogCommand, PointsAsCsv) {
  const auto result = RunCli({QStringLiteral("log"), QStringLiteral("points"), good_,
                              QStringLiteral("--zone"), QStringLiteral("900")},
                             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QList<QByteArray> lines = result.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 91);
  EXPECT_TRUE(lines[0].startsWith("isWaypoint,isLap,isValid,rmcTimeText,ggaTimeText,localTime,"));
  EXPECT_TRUE(lines[0].endsWith(",deviceValue,latitudeDegrees,longitudeDegrees"));
  // The satellite text holds commas, so it is quoted.
  EXPECT_TRUE(lines[1].contains(",\"09,01,00,000,30,"));
  EXPECT_TRUE(lines[11].startsWith("0,1,1,"));  // the lap
  EXPECT_TRUE(lines[1].contains(",2009-05-18 08:59:00,2009-05-17 23:59:00,"));
}

TEST_F(LogCommand, PointsAsJson) {
  const auto result =
      RunCli({QStringLiteral("log"), QStringLiteral("points"), QStringLiteral("--json"),
              QStringLiteral("--zone"), QStringLiteral("0"), good_},
             Home());
  ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
  const QJsonArray points = result.Json().array();
  ASSERT_EQ(points.size(), 90);
  const QJsonObject first = points[0].toObject();
  EXPECT_EQ(first[QStringLiteral("utcTime")].toString(), QStringLiteral("2009-05-17 23:59:00"));
  EXPECT_EQ(first[QStringLiteral("latitudeRef")].toString(), QStringLiteral("N"));
  EXPECT_NEAR(first[QStringLiteral("latitudeDegrees")].toDouble(), 37.390945, 1e-6);
  EXPECT_NEAR(first[QStringLiteral("longitudeDegrees")].toDouble(), 126.968723, 1e-6);
  EXPECT_NEAR(first[QStringLiteral("latitude")].toDouble(), 3723.4567, 1e-9);
  EXPECT_EQ(first[QStringLiteral("speedRef")].toString(), QStringLiteral("K"));
  EXPECT_EQ(first[QStringLiteral("dateStampText")].toString(), QStringLiteral("2009:05:17"));
  EXPECT_EQ(points[20].toObject()[QStringLiteral("isWaypoint")].toInt(), 1);
  EXPECT_EQ(points[89].toObject()[QStringLiteral("deviceValue")].toInt(),
            points[88].toObject()[QStringLiteral("deviceValue")].toInt());
}

TEST_F(LogCommand, UsageErrors) {
  EXPECT_EQ(RunCli({QStringLiteral("log"), QStringLiteral("info")}, Home()).exitCode, 2);
  const auto badZone = RunCli({QStringLiteral("log"), QStringLiteral("info"),
                               QStringLiteral("--zone"), QStringLiteral("9:00"), good_},
                              Home());
  EXPECT_EQ(badZone.exitCode, 2);
  EXPECT_TRUE(badZone.err.contains("--zone 9:00: not a time zone"));
  EXPECT_EQ(
      RunCli({QStringLiteral("log"), QStringLiteral("info"), QStringLiteral("--frobnicate"), good_},
             Home())
          .exitCode,
      2);
  EXPECT_EQ(
      RunCli({QStringLiteral("log"), QStringLiteral("points"), good_, good_}, Home()).exitCode, 2);
  EXPECT_EQ(RunCli({QStringLiteral("nonsense")}, Home()).exitCode, 2);
  EXPECT_EQ(RunCli({}, Home()).exitCode, 2);
  const auto help =
      RunCli({QStringLiteral("log"), QStringLiteral("info"), QStringLiteral("--help")}, Home());
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.contains("--zone <HHMM>"));
  EXPECT_EQ(RunCli({QStringLiteral("--help")}, Home()).exitCode, 0);
}

TEST_F(LogCommand, PointsOfALogWithoutTimes) {
  const auto result = RunCli({QStringLiteral("log"), QStringLiteral("points"), noTimes_}, Home());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(result.err.contains(noTimes_.toUtf8()));
  EXPECT_TRUE(result.out.isEmpty());
}

TEST_F(LogCommand, ALongLogLoadedOnceIsTakenFromTheCacheByTheNextCommand) {
  const QString path = dir_.filePath(QStringLiteral("long.log"));
  test::WriteFile(path, test::GenerateLog({.epochs = 12000, .waypointEpochs = {5000}}));
  ASSERT_GE(QFileInfo(path).size(), 4 << 20);
  // A log written this instant may still be changing: only a settled one is kept.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  const QStringList points{QStringLiteral("log"), QStringLiteral("points"), path,
                           QStringLiteral("--zone"), QStringLiteral("900")};
  const auto first = RunCli(points, Home());
  ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
  const QFileInfoList entries = QDir(Home() + QStringLiteral("/points")).entryInfoList(QDir::Files);
  ASSERT_EQ(entries.size(), 1);
  const QString entry = entries[0].absoluteFilePath();

  // Used: the entry is marked so. Damaged: the log is read from its file again.
  const QDateTime longAgo = QDateTime::currentDateTime().addDays(-3);
  const auto age = [&] {
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
  };
  age();
  const auto fromCache = RunCli(points, Home());
  EXPECT_EQ(fromCache.exitCode, 0);
  EXPECT_EQ(fromCache.out, first.out);
  EXPECT_GT(QFileInfo(entry).lastModified(), longAgo.addSecs(60));

  const QByteArray whole = test::ReadFile(entry);
  test::WriteFile(entry, whole.left(whole.size() / 2).toStdString());
  const auto damaged = RunCli(points, Home());
  EXPECT_EQ(damaged.exitCode, 0);
  EXPECT_EQ(damaged.out, first.out);
  EXPECT_EQ(test::ReadFile(entry), whole);
}

}  // namespace
}  // namespace trevalo
