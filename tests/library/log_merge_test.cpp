#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "library/log_merge.h"
#include "logs/gps_log.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

class LogMerge : public ::testing::Test {
 protected:
  QString Log(const QString& name, int hour, int minute, int minutes,
              const std::string& header = {}) {
    const QString path = dir_.filePath(name);
    test::WriteFile(path, header + test::GenerateLog({.hour = hour,
                                                      .minute = minute,
                                                      .epochs = minutes + 1,
                                                      .intervalSeconds = 60}));
    return path;
  }
  LogLibrary Library() { return LogLibrary(dir_.filePath(QStringLiteral("lib")), 0); }
  QTemporaryDir dir_;
};

TEST_F(LogMerge, ChecksOverlapAndNeighbours) {
  LogLibrary library = Library();
  library.AddLog(Log(QStringLiteral("0517.log"), 10, 0, 60), 0, 0, 900);
  library.AddLog(Log(QStringLiteral("b.log"), 11, 30, 30), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("c.log"), 12, 0, 30), 0, 0, 0);  // starts at b's end
  library.AddLog(Log(QStringLiteral("d.log"), 14, 0, 10), 0, 0, 0);
  const MergePlan apart = PrepareMerge(library, {0, 1});
  EXPECT_FALSE(apart.timeConflict);
  EXPECT_FALSE(apart.discontinuous);
  EXPECT_EQ(apart.proposedName, QStringLiteral("M_0517"));
  EXPECT_EQ(apart.timeZone, 900);
  EXPECT_TRUE(PrepareMerge(library, {1, 2}).timeConflict);  // bounds included
  const MergePlan gap = PrepareMerge(library, {3, 0});
  EXPECT_FALSE(gap.timeConflict);
  EXPECT_TRUE(gap.discontinuous);
}

TEST_F(LogMerge, AnOverlapConflicts) {
  LogLibrary library = Library();
  library.AddLog(Log(QStringLiteral("a.log"), 10, 0, 60), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 10, 59, 60), 0, 0, 0);
  const MergeOutcome outcome = MergeLogs(library, {0, 1}, dir_.filePath(QStringLiteral("m.log")));
  EXPECT_EQ(outcome.result, MergeOutcome::kTimeConflict);
  EXPECT_EQ(library.size(), 2u);
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("m.log"))));
}

TEST_F(LogMerge, LogsOfDifferentZonesAreComparedInUtc) {
  LogLibrary library = Library();
  // 10:00-11:00 UTC at +09:00 (19:00-20:00 local) and 10:30-11:30 UTC at GMT: apart in local
  // time, overlapping in truth.
  library.AddLog(Log(QStringLiteral("seoul.log"), 10, 0, 60), 0, 0, 900);
  library.AddLog(Log(QStringLiteral("london.log"), 10, 30, 60), 0, 0, 0);
  EXPECT_TRUE(PrepareMerge(library, {0, 1}).timeConflict);
  const QString merged = dir_.filePath(QStringLiteral("m.log"));
  EXPECT_EQ(MergeLogs(library, {0, 1}, merged).result, MergeOutcome::kTimeConflict);
  EXPECT_FALSE(QFile::exists(merged));
  EXPECT_EQ(library.size(), 2u);
  // 12:00-13:00 UTC at -02:00 is 10:00-11:00 local, as a GMT log's 10:00-11:00: one after
  // the other in truth.
  LogLibrary apart(dir_.filePath(QStringLiteral("lib2")), 0);
  apart.AddLog(Log(QStringLiteral("first.log"), 10, 0, 60), 0, 0, 0);
  apart.AddLog(Log(QStringLiteral("later.log"), 12, 0, 60), 0, 0, -200);
  EXPECT_FALSE(PrepareMerge(apart, {0, 1}).timeConflict);
  EXPECT_EQ(MergeLogs(apart, {0, 1}, merged).result, MergeOutcome::kMerged);
}

TEST_F(LogMerge, NothingIsWrittenWhenTheLibraryCannotBeChangedAndARetryWorks) {
  LogLibrary library = Library();
  library.AddLog(Log(QStringLiteral("a.log"), 10, 0, 10), 0, 0, 0);
  library.AddLog(Log(QStringLiteral("b.log"), 11, 0, 10), 0, 0, 0);
  const QString database = library.databasePath();
  const QByteArray saved = test::ReadFile(database);
  QFile::remove(database);
  QDir().mkpath(database);  // the database cannot be read
  const QString merged = dir_.filePath(QStringLiteral("M_a.LOG"));
  const MergeOutcome refused = MergeLogs(library, {0, 1}, merged);
  EXPECT_EQ(refused.result, MergeOutcome::kNotSaved);
  EXPECT_FALSE(QFile::exists(merged)) << "no merged log outside the library";
  QDir(database).removeRecursively();
  test::WriteFile(database,
                  std::string_view(saved.constData(), static_cast<std::size_t>(saved.size())));
  ASSERT_EQ(MergeLogs(library, {0, 1}, merged).result, MergeOutcome::kMerged);
  EXPECT_EQ(LogLibrary(library.folder(), 0).log(0).filePath(), merged);
}

TEST(MergeNames, NineCharactersBecomeUnderscores) {
  EXPECT_EQ(CleanFileName(QStringLiteral("a:b?c")), QStringLiteral("a_b_c"));
  EXPECT_EQ(CleanFileName(QStringLiteral("\\/:*?\"<>|ok")), QStringLiteral("_________ok"));
}

TEST_F(LogMerge, JoinsTheSentenceStreamsAndReplacesTheSources) {
  const QString a = Log(QStringLiteral("a.log"), 10, 0, 60, "LOGGER HEADER v1\r\n");
  const QString b = Log(QStringLiteral("b.log"), 11, 30, 30);
  // Zero bytes at the end of a source and no final line break.
  QByteArray tail = test::ReadFile(b);
  tail.chop(2);
  tail.append(QByteArray(3, '\0'));
  test::WriteFile(b, std::string_view(tail.constData(), static_cast<std::size_t>(tail.size())));
  LogLibrary library = Library();
  library.AddLog(a, 2, 1, 900);
  library.AddLog(b, 0, 0, 0);
  const QString merged = dir_.filePath(QStringLiteral("M_a.LOG"));
  const MergeOutcome outcome = MergeLogs(library, {0, 1}, merged);
  ASSERT_EQ(outcome.result, MergeOutcome::kMerged) << outcome.problem.toStdString();
  const QByteArray bytes = test::ReadFile(merged);
  const QByteArray first = test::ReadFile(a);
  EXPECT_EQ(bytes, first.mid(first.indexOf("$GP")) + tail.left(tail.size() - 3) + "\r\n");
  ASSERT_EQ(library.size(), 1u);
  EXPECT_EQ(library.log(0).filePath(), merged);
  EXPECT_EQ(library.log(0).timeZone(), 900);
  EXPECT_EQ(library.log(0).pointCount(), 61u + 31u);
  EXPECT_TRUE(QFile::exists(a));
  EXPECT_TRUE(QFile::exists(b));
  EXPECT_EQ(MergeLogs(library, {0}, merged).result, MergeOutcome::kOutputInLibrary);
}

TEST_F(LogMerge, JoinsLogsOfAMultiSystemReceiver) {
  const QString a = dir_.filePath(QStringLiteral("a.nmea"));
  const QString b = dir_.filePath(QStringLiteral("b.nmea"));
  test::WriteFile(
      a, "\xb5\x62 binary start\r\n" + test::GenerateMultiSystemLog({.hour = 10, .epochs = 20}));
  test::WriteFile(b, test::GenerateMultiSystemLog({.hour = 11, .epochs = 30}));
  LogLibrary library = Library();
  ASSERT_TRUE(library.AddLog(a, 0, 0, 900).done());
  ASSERT_TRUE(library.AddLog(b, 0, 0, 900).done());
  const QString merged = dir_.filePath(QStringLiteral("m.nmea"));
  const MergeOutcome outcome = MergeLogs(library, {0, 1}, merged);
  ASSERT_EQ(outcome.result, MergeOutcome::kMerged) << outcome.problem.toStdString();
  ASSERT_EQ(library.size(), 1u);
  EXPECT_EQ(library.log(0).pointCount(), 50u);
  EXPECT_TRUE(test::ReadFile(merged).startsWith("$GNTXT"));
}

TEST_F(LogMerge, AGpxTrackJoinsAsSentencesOfItsPoints) {
  const QString logger = Log(QStringLiteral("a.log"), 8, 0, 10);
  const QString gpx = dir_.filePath(QStringLiteral("phone.gpx"));
  test::WriteFile(gpx, test::GenerateGpx({.hour = 9, .epochs = 30, .waypointEpochs = {12}}, 10, 2));
  LogLibrary library = Library();
  ASSERT_TRUE(library.AddLog(logger, 0, 0, 900).done());
  ASSERT_TRUE(library.AddLog(gpx, 0, 0, 900).done());
  GPSLog track(gpx, 0, 0, {}, 900, 0);
  ASSERT_TRUE(track.LoadPoints());
  const QString merged = dir_.filePath(QStringLiteral("M_a.log"));
  const MergeOutcome outcome = MergeLogs(library, {0, 1}, merged);
  ASSERT_EQ(outcome.result, MergeOutcome::kMerged) << outcome.problem.toStdString();
  ASSERT_EQ(library.size(), 1u);
  GPSLog& log = library.log(0);
  ASSERT_EQ(log.pointCount(), 11u + 31u);
  EXPECT_EQ(log.lapCount(), 1);
  EXPECT_EQ(log.waypointCount(), 1);
  ASSERT_TRUE(log.LoadPoints());
  for (std::size_t i = 0; i < track.points().size(); ++i) {
    const TrackPoint& expected = track.points()[i];
    const TrackPoint& p = log.points()[11 + i];
    EXPECT_EQ(p.localTime, expected.localTime) << i;
    EXPECT_NEAR(p.latitude, expected.latitude, 1e-5) << i;
    EXPECT_NEAR(p.longitude, expected.longitude, 1e-5) << i;
    EXPECT_EQ(p.latitudeRef, expected.latitudeRef) << i;
    EXPECT_NEAR(p.altitude, expected.altitude, 1e-9) << i;
    EXPECT_NEAR(p.speed, expected.speed, 0.01) << i;
    EXPECT_EQ(p.isLap, expected.isLap) << i;
    EXPECT_EQ(p.isWaypoint, expected.isWaypoint) << i;
    EXPECT_EQ(p.ggaMatchesRmc, 1) << i;
  }
}

TEST_F(LogMerge, SourcesStayWhenTheMergedLogCannotBeAdded) {
  LogLibrary library = Library();
  const QString a = Log(QStringLiteral("a.log"), 10, 0, 10);
  const QString b = Log(QStringLiteral("b.log"), 11, 0, 10);
  library.AddLog(a, 0, 0, 0);
  library.AddLog(b, 0, 0, 0);
  // The sources lose their sentences after they were added: the merged log has no times.
  test::WriteFile(a, "nothing\r\n");
  test::WriteFile(b, "nothing\r\n");
  const MergeOutcome outcome = MergeLogs(library, {0, 1}, dir_.filePath(QStringLiteral("m.log")));
  EXPECT_EQ(outcome.result, MergeOutcome::kNotAdded);
  EXPECT_EQ(library.size(), 2u);
  EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("m.log"))))
      << "a merged log the library refuses is not left on disk";
  Log(QStringLiteral("a.log"), 10, 0, 10);
  Log(QStringLiteral("b.log"), 11, 0, 10);
  const MergeOutcome unwritable =
      MergeLogs(library, {0, 1}, dir_.filePath(QStringLiteral("no/such/folder/m.log")));
  EXPECT_EQ(unwritable.result, MergeOutcome::kWriteFailed);
  EXPECT_EQ(library.size(), 2u);
}

}  // namespace
}  // namespace trevalo
