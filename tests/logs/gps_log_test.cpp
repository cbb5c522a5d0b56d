#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "logs/gps_log.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::NmeaSentence;

std::string RmcAt(const std::string& time) {
  return NmeaSentence("GPRMC," + time + ",A,3723.4567,N,12658.1234,E,0.0,0.0,170509,,,A");
}

class GPSLogTest : public ::testing::Test {
 protected:
  QString Write(const QString& name, const std::string& data) {
    const QString path = dir_.filePath(name);
    test::WriteFile(path, data);
    return path;
  }
  QTemporaryDir dir_;
};

TEST_F(GPSLogTest, ScansOnCreationAndKeepsItsMetadata) {
  const QString path =
      Write(QStringLiteral("0517.log"), test::GenerateLog({.epochs = 30, .lapEpochs = {5}}));
  const GPSLog log(path, 3, 2, QStringLiteral("walk"), 900, 100);
  EXPECT_TRUE(log.scanned());
  EXPECT_TRUE(log.hasTimes());
  EXPECT_EQ(log.pointCount(), 30u);
  EXPECT_EQ(log.lapCount(), 1);
  EXPECT_EQ(log.fileName(), QStringLiteral("0517.log"));
  EXPECT_EQ(log.filePath(), path);
  EXPECT_EQ(log.colorIndex(), 3);
  EXPECT_EQ(log.lineWidthIndex(), 2);
  EXPECT_EQ(log.comment(), QStringLiteral("walk"));
  EXPECT_EQ(log.effectiveZone(), 1000);
  EXPECT_EQ(IsoTimeText(log.utcStart()), "2009-05-17 12:00:00");
  EXPECT_EQ(IsoTimeText(log.localStart()), "2009-05-17 22:00:00");
  EXPECT_EQ(IsoTimeText(log.localEnd()), "2009-05-17 22:00:29");
  EXPECT_FALSE(log.pointsLoaded());
  EXPECT_TRUE(log.points().empty());
  EXPECT_EQ(log.StartTimeText(QStringLiteral("%m/%d/%Y %I:%M:%S %p")),
            QStringLiteral("05/17/2009 10:00:00 PM"));
  EXPECT_EQ(log.EndTimeText(QStringLiteral("%H:%M:%S")), QStringLiteral("22:00:29"));
  EXPECT_TRUE(log.scanProblem().isEmpty());
}

TEST_F(GPSLogTest, AMissingFileHasNoTimesAndSaysWhy) {
  const GPSLog log(dir_.filePath(QStringLiteral("absent.log")), 0, 0, {}, 0, 0);
  EXPECT_FALSE(log.hasTimes());
  EXPECT_TRUE(log.scanProblem().contains(QStringLiteral("No such file")));
  GPSLog folder(dir_.path(), 0, 0, {}, 0, 0);
  EXPECT_FALSE(folder.hasTimes());
  EXPECT_FALSE(folder.scanProblem().isEmpty());
  EXPECT_FALSE(folder.LoadPoints());
}

TEST_F(GPSLogTest, LoadsOnceAndAgainAfterRelease) {
  const QString path = Write(QStringLiteral("a.log"), RmcAt("120000") + RmcAt("120001"));
  GPSLog log(path, 0, 0, {}, 0, 0);
  ASSERT_TRUE(log.LoadPoints());
  ASSERT_EQ(log.points().size(), 2u);
  EXPECT_EQ(log.points()[1].rmcTimeText, "120001");

  // A second load keeps the points it has: the file is not read again.
  Write(QStringLiteral("a.log"), RmcAt("130000") + RmcAt("130001"));
  ASSERT_TRUE(log.LoadPoints());
  EXPECT_EQ(log.points()[1].rmcTimeText, "120001");

  log.ReleasePoints();
  EXPECT_FALSE(log.pointsLoaded());
  EXPECT_TRUE(log.points().empty());
  EXPECT_EQ(log.pointCount(), 2u);  // counts and times stay
  ASSERT_TRUE(log.LoadPoints());
  EXPECT_EQ(log.points()[1].rmcTimeText, "130001");
}

TEST_F(GPSLogTest, ALoadThatMeetsABadDateLeavesNoPoints) {
  const QString path =
      Write(QStringLiteral("b.log"),
            RmcAt("120000") + NmeaSentence("GPRMC,120001,A,,,,,,,321309") + RmcAt("120002"));
  GPSLog log(path, 0, 0, {}, 0, 0);
  EXPECT_TRUE(log.hasTimes());
  EXPECT_FALSE(log.LoadPoints());
  EXPECT_FALSE(log.pointsLoaded());
  EXPECT_TRUE(log.points().empty());
  EXPECT_TRUE(log.loadProblem().contains(QStringLiteral("out of range")));
  EXPECT_EQ(log.NearestPointIndex(0), 0u);
}

TEST_F(GPSLogTest, NearestPointIndex) {
  // Local times 10:00:00, 10:00:10, 10:00:20, 10:00:20 (zone 0).
  const QString path = Write(QStringLiteral("c.log"),
                             RmcAt("100000") + RmcAt("100010") + RmcAt("100020") + RmcAt("100020"));
  GPSLog log(path, 0, 0, {}, 0, 0);
  const TimeValue base = *MakeTime(2009, 5, 17, 10, 0, 0);
  EXPECT_EQ(log.NearestPointIndex(base + 1), 0u);
  EXPECT_EQ(log.NearestPointIndex(base + 5), 0u);  // equal distance: the earlier index
  EXPECT_EQ(log.NearestPointIndex(base + 6), 1u);
  EXPECT_EQ(log.NearestPointIndex(base + 30), 2u);  // two points at the same time
  EXPECT_EQ(log.NearestPointIndex(base - 3600), 0u);
  EXPECT_TRUE(log.pointsLoaded());
}

TEST_F(GPSLogTest, NearestPointIndexWithoutPoints) {
  GPSLog log(Write(QStringLiteral("d.log"), "no sentences here"), 0, 0, {}, 0, 0);
  EXPECT_EQ(log.pointCount(), 0u);
  EXPECT_EQ(log.NearestPointIndex(12345), 0u);
}

TEST_F(GPSLogTest, HoldsNoFileOpen) {
  const QString path = Write(QStringLiteral("e.log"), test::GenerateLog({.epochs = 5}));
  const auto openFiles = [] {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
  };
  const qsizetype before = openFiles();
  std::vector<GPSLog> logs;
  for (int i = 0; i < 200; ++i) {
    logs.emplace_back(path, 0, 0, QString(), 0, 0);
  }
  logs[7].LoadPoints();
  EXPECT_EQ(openFiles(), before);
}

}  // namespace
}  // namespace trevalo
