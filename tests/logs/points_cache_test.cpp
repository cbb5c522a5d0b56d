#include "logs/points_cache.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "logs/gps_log.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "track/calendar_time.h"
#include "track/packed_points.h"

namespace trevalo {
namespace {

constexpr int kZone = 900;

// Limits that keep any log, however small, fresh, or close to a full disk.
PointsCache::Limits KeepingAll() {
  PointsCache::Limits limits;
  limits.leastLogBytes = 0;
  limits.leastFreeBytes = 0;
  limits.settledSeconds = 0;
  return limits;
}

// A cache in a folder of the test.
std::shared_ptr<const PointsCache> CacheIn(const test::TemporaryFolder& folder,
                                           PointsCache::Limits limits = KeepingAll()) {
  return std::make_shared<PointsCache>(folder.filePath(QStringLiteral("points")), limits);
}

QString LoggerLog(const test::TemporaryFolder& folder, const QString& name, int epochs = 300) {
  test::LogPlan plan;
  plan.epochs = epochs;
  plan.lapEpochs = {40};
  plan.waypointEpochs = {120};
  return test::WriteGeneratedLog(folder.path(), name, plan);
}

struct Loaded {
  ScanResult scan;
  PackedPoints points;
  std::int32_t deviceValueCount = 0;
};

// The scan and points of a log read from its file, as without a cache.
Loaded FromFile(const QString& path) {
  GPSLog log(path, 0, 0, QString(), kZone, 0);
  EXPECT_TRUE(log.LoadPoints()) << log.loadProblem().toStdString();
  return {ScanResult{log.pointCount(), log.lapCount(), log.waypointCount(), log.refusedCount(),
                     log.hasTimes(), log.utcStart(), log.localStart(), log.localEnd()},
          log.points(), log.deviceValueCount()};
}

void ExpectSameLog(GPSLog& log, const Loaded& expected) {
  ASSERT_TRUE(log.LoadPoints()) << log.loadProblem().toStdString();
  EXPECT_EQ(log.pointCount(), expected.scan.pointCount);
  EXPECT_EQ(log.lapCount(), expected.scan.lapCount);
  EXPECT_EQ(log.waypointCount(), expected.scan.waypointCount);
  EXPECT_EQ(log.localStart(), expected.scan.localStart);
  EXPECT_EQ(log.localEnd(), expected.scan.localEnd);
  EXPECT_EQ(log.deviceValueCount(), expected.deviceValueCount);
  EXPECT_TRUE(log.points() == expected.points);
}

// A logger log of 300 points in a folder of the test, loaded from its file, and a cache
// beside it that keeps everything.
class PointsCacheTest : public ::testing::Test {
 protected:
  test::TemporaryFolder folder;
  const QString path = LoggerLog(folder, QStringLiteral("a.log"));
  const FileStamp stamp = StampOf(path);
  const Loaded loaded = FromFile(path);
  const std::shared_ptr<const PointsCache> cache = CacheIn(folder);
};

TEST(PointsCache, ALogLoadsTheSameFromTheCacheAsFromItsFile) {
  test::TemporaryFolder folder;
  const QString gpx = folder.filePath(QStringLiteral("track.gpx"));
  test::WriteFile(gpx,
                  "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"test\">\n"
                  "<wpt lat=\"37.5\" lon=\"127.1\"><time>2009-05-17T12:00:30Z</time></wpt>\n"
                  "<trk><trkseg>\n"
                  "<trkpt lat=\"37.4\" lon=\"127.0\"><ele>12.5</ele>"
                  "<time>2009-05-17T12:00:00Z</time><sat>7</sat></trkpt>\n"
                  "<trkpt lat=\"37.41\" lon=\"127.01\"><time>2009-05-17T12:01:00Z</time>"
                  "</trkpt>\n</trkseg></trk></gpx>\n");
  QStringList paths{LoggerLog(folder, QStringLiteral("logger.log")), gpx};
  const QString data = test::TestDataFolder();
  ASSERT_FALSE(data.isEmpty());
  paths << data + QStringLiteral("/nmea/gpsbabel_track.nmea")
        << data + QStringLiteral("/nmea/gpsd_telit-he910.nmea");
  const auto cache = CacheIn(folder);
  int kept = 0;
  for (const QString& path : paths) {
    SCOPED_TRACE(path.toStdString());
    const Loaded expected = FromFile(path);
    {
      GPSLog first(path, 0, 0, QString(), kZone, 0, cache);
      ExpectSameLog(first, expected);
    }
    const FileStamp stamp = StampOf(path);
    if (expected.points.wholePointCount() > 0) {
      EXPECT_FALSE(cache->Find(stamp, kZone)) << "points held whole are not kept";
      continue;
    }
    ASSERT_TRUE(cache->Find(stamp, kZone));
    ++kept;
    // Scanned and loaded from the cache, by both ways a log is made.
    GPSLog second(path, 0, 0, QString(), kZone, 0, cache);
    ExpectSameLog(second, expected);
    GPSLog atOnce(path, kZone, 0, GPSLog::ReadAtOnce{}, cache);
    ExpectSameLog(atOnce, expected);
    // Another zone is another entry.
    EXPECT_FALSE(cache->Find(stamp, kZone + 100));
  }
  EXPECT_EQ(kept, paths.size());
}

TEST(PointsCache, ALogTakesWhatItsEntryHoldsWhileTheFileIsUnchanged) {
  test::TemporaryFolder folder;
  const QString path = LoggerLog(folder, QStringLiteral("a.log"));
  const QString other = LoggerLog(folder, QStringLiteral("b.log"), 50);
  const auto cache = CacheIn(folder);
  const Loaded otherLog = FromFile(other);
  // An entry for a.log that holds b.log's points: what a log takes from the cache shows.
  cache->Keep(StampOf(path), kZone, otherLog.scan, 7, otherLog.points);
  GPSLog log(path, 0, 0, QString(), kZone, 0, cache);
  EXPECT_EQ(log.pointCount(), 50u);
  ASSERT_TRUE(log.LoadPoints());
  EXPECT_TRUE(log.points() == otherLog.points);
  EXPECT_EQ(log.deviceValueCount(), 7);
  EXPECT_EQ(log.timesLoaded(), 1u);

  // Grown: the file is read again and its entry replaced.
  test::WriteFile(path, test::ReadFile(path).toStdString() + test::ReadFile(other).toStdString());
  const Loaded grown = FromFile(path);
  EXPECT_EQ(grown.scan.pointCount, 350u);
  GPSLog again(path, 0, 0, QString(), kZone, 0, cache);
  ExpectSameLog(again, grown);
  const std::optional<PointsCache::Entry> replaced = cache->Find(StampOf(path), kZone);
  ASSERT_TRUE(replaced);
  EXPECT_TRUE(replaced->points == grown.points);
}

TEST_F(PointsCacheTest, ADamagedEntryIsReadAsAbsentAndWrittenAgain) {
  const Loaded& expected = loaded;
  const QString entryPath = cache->EntryPath(stamp, kZone);
  {
    GPSLog log(path, 0, 0, QString(), kZone, 0, cache);
    ASSERT_TRUE(log.LoadPoints());
  }
  const std::string whole = test::ReadFile(entryPath).toStdString();
  ASSERT_GT(whole.size(), 300u * 60);
  std::vector<std::string> damaged;
  // Cut short anywhere (a crash, a full disk), or one byte changed in the mark, the
  // header's length and checksum, the header, the records and the texts.
  for (std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{20}, std::size_t{100},
                           whole.size() / 2, whole.size() - 1}) {
    damaged.push_back(whole.substr(0, size));
  }
  for (std::size_t at : {std::size_t{3}, std::size_t{9}, std::size_t{13}, std::size_t{30},
                         std::size_t{200}, whole.size() / 2, whole.size() - 3}) {
    std::string changed = whole;
    changed[at] = static_cast<char>(changed[at] ^ 0x10);
    damaged.push_back(changed);
  }
  damaged.push_back(whole + "x");
  damaged.push_back(std::string(whole.size(), '\0'));  // a crash before the data reached the disk
  for (std::size_t k = 0; k < damaged.size(); ++k) {
    SCOPED_TRACE("damage " + std::to_string(k));
    test::WriteFile(entryPath, damaged[k]);
    // WriteFile leaves the log's stamp alone: only the entry is damaged.
    ASSERT_TRUE(StampOf(path) == stamp);
    // The scan stays readable while the header is intact and the entry's size its own.
    const bool scanIntact = k >= 10 && k <= 12;
    EXPECT_EQ(cache->FindScan(stamp, kZone).has_value(), scanIntact);
    EXPECT_FALSE(cache->Find(stamp, kZone));
    GPSLog log(path, 0, 0, QString(), kZone, 0, cache);
    ExpectSameLog(log, expected);
    EXPECT_EQ(test::ReadFile(entryPath).toStdString(), whole) << "the entry is written again";
  }
}

TEST(PointsCache, RandomlyDamagedPointBytesGiveNoneOrPointsThatReadSafely) {
  test::TemporaryFolder folder;
  const Loaded loaded = FromFile(LoggerLog(folder, QStringLiteral("a.log"), 40));
  std::string bytes;
  ASSERT_TRUE(loaded.points.AppendBytes(bytes));
  const std::optional<PackedPoints> back = PackedPoints::FromBytes(bytes);
  ASSERT_TRUE(back);
  EXPECT_TRUE(*back == loaded.points);

  std::mt19937 random(11);
  int taken = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string changed = bytes;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int c = 0; c < changes; ++c) {
      changed[random() % changed.size()] = static_cast<char>(random());
    }
    if (round % 7 == 0) {
      changed.resize(random() % changed.size());
    }
    const std::optional<PackedPoints> points = PackedPoints::FromBytes(changed);
    if (points) {
      ++taken;
      for (const TrackPoint& point : *points) {
        (void)point;  // every record reads without fault (the sanitizers watch)
      }
    }
  }
  // Most changes fall on numbers a record holds, which any value may be.
  EXPECT_GT(taken, 500);
  EXPECT_LT(taken, 3000);
}

TEST_F(PointsCacheTest, WhatTheLimitsLeaveOutIsNotKept) {
  const auto keeps = [&](const PointsCache::Limits& limits) {
    const PointsCache cache(folder.filePath(QStringLiteral("points")), limits);
    QFile::remove(cache.EntryPath(stamp, kZone));
    cache.Keep(stamp, kZone, loaded.scan, 0, loaded.points);
    return cache.Find(stamp, kZone).has_value();
  };
  ASSERT_TRUE(keeps(KeepingAll()));

  PointsCache::Limits limits = KeepingAll();
  limits.leastLogBytes = 4 << 20;
  EXPECT_FALSE(keeps(limits)) << "a small log is read itself";
  limits = KeepingAll();
  limits.leastFreeBytes = std::int64_t{1} << 60;
  EXPECT_FALSE(keeps(limits)) << "the disk's room is the user's";
  limits = KeepingAll();
  limits.settledSeconds = 3600;
  EXPECT_FALSE(keeps(limits)) << "a log written just now may still be changing";
  limits = KeepingAll();
  limits.mostBytes = 1000;
  EXPECT_FALSE(keeps(limits)) << "an entry of more than half the cache";

  // A point no record can hold.
  PackedPoints withWhole = loaded.points;
  TrackPoint odd = loaded.points[0];
  odd.latitudeRef = "X";
  withWhole.Append(odd);
  ScanResult scan = loaded.scan;
  scan.pointCount += 1;
  QFile::remove(cache->EntryPath(stamp, kZone));
  cache->Keep(stamp, kZone, scan, 0, withWhole);
  EXPECT_FALSE(QFileInfo::exists(cache->EntryPath(stamp, kZone)));
}

TEST_F(PointsCacheTest, AnEntryOfAnotherBuildIsAbsent) {
  cache->Keep(stamp, kZone, loaded.scan, 0, loaded.points);
  PointsCache::Limits limits = KeepingAll();
  limits.program = stamp;  // any other file stands for another build
  const auto otherBuild = CacheIn(folder, limits);
  EXPECT_FALSE(otherBuild->FindScan(stamp, kZone));
  EXPECT_FALSE(otherBuild->Find(stamp, kZone));
  EXPECT_TRUE(cache->Find(stamp, kZone));
}

TEST_F(PointsCacheTest, ALinkOrAPipeInTheFolderIsNeitherReadNorWrittenThrough) {
  ASSERT_TRUE(QDir().mkpath(cache->folder()));
  const QString entry = cache->EntryPath(stamp, kZone);

  // A link to a file of the user's: the file stays, the link is replaced by an entry.
  const QString users = folder.filePath(QStringLiteral("notes.txt"));
  test::WriteFile(users, "mine");
  ASSERT_TRUE(QFile::link(users, entry));
  EXPECT_FALSE(cache->Find(stamp, kZone));
  cache->Keep(stamp, kZone, loaded.scan, 0, loaded.points);
  EXPECT_EQ(test::ReadFile(users), "mine");
  EXPECT_FALSE(QFileInfo(entry).isSymLink());
  EXPECT_TRUE(cache->Find(stamp, kZone));

  // A pipe: the lookup does not wait for a writer.
  ASSERT_TRUE(QFile::remove(entry));
  ASSERT_EQ(::mkfifo(QFile::encodeName(entry).constData(), 0600), 0);
  auto lookup = std::async(std::launch::async, [&] {
    return cache->FindScan(stamp, kZone).has_value() || cache->Find(stamp, kZone).has_value();
  });
  if (lookup.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the lookup waits on the pipe";
    const int writer = ::open(QFile::encodeName(entry).constData(), O_WRONLY | O_NONBLOCK);
    ::close(writer);
  }
  EXPECT_FALSE(lookup.get());
}

TEST(PointsCache, RecordsNoReaderMakesAreRefused) {
  test::TemporaryFolder folder;
  const Loaded loaded = FromFile(LoggerLog(folder, QStringLiteral("a.log"), 3));
  const auto refused = [&](const std::function<void(TrackPoint&)>& change) {
    TrackPoint odd = loaded.points[1];
    change(odd);
    PackedPoints points = loaded.points;
    points.Append(odd);
    std::string bytes;
    EXPECT_TRUE(points.AppendBytes(bytes)) << "the record holds it";
    return !PackedPoints::FromBytes(bytes).has_value();
  };
  EXPECT_FALSE(refused([](TrackPoint&) {}));
  EXPECT_TRUE(refused([](TrackPoint& p) { p.latitude = std::nan(""); }));
  EXPECT_TRUE(refused([](TrackPoint& p) { p.latitude = 9000.5; }));
  EXPECT_TRUE(refused([](TrackPoint& p) { p.longitude = -1; }));
  EXPECT_TRUE(refused([](TrackPoint& p) { p.longitude = 1e308; }));
  EXPECT_TRUE(refused([](TrackPoint& p) { p.speed = std::numeric_limits<double>::infinity(); }));
  EXPECT_TRUE(refused([](TrackPoint& p) {
    // Past the calendar, where differences of times could overflow.
    const TimeValue zone = p.localTime - p.utcTime;
    p.utcTime = std::numeric_limits<TimeValue>::max() / 2;
    p.localTime = p.utcTime + zone;
    p.dateStampText = DateStampText(p.localTime);
  }));

  // A zone offset of days is no zone.
  PackedPoints shifted;
  TrackPoint point = loaded.points[0];
  point.localTime = point.utcTime + 3 * 86400;
  point.dateStampText = DateStampText(point.localTime);
  shifted.Append(point);
  std::string bytes;
  ASSERT_TRUE(shifted.AppendBytes(bytes));
  EXPECT_FALSE(PackedPoints::FromBytes(bytes));
}

TEST(PointsCache, TheEntriesUsedLongestAgoGoFirstWhenTheCacheIsFull) {
  test::TemporaryFolder folder;
  std::vector<QString> paths;
  for (int i = 0; i < 4; ++i) {
    paths.push_back(LoggerLog(folder, QStringLiteral("log%1.log").arg(i)));
  }
  const Loaded loaded = FromFile(paths[0]);
  const auto unbounded = CacheIn(folder);
  unbounded->Keep(StampOf(paths[0]), kZone, loaded.scan, 0, loaded.points);
  const std::int64_t entryBytes = QFileInfo(unbounded->EntryPath(StampOf(paths[0]), kZone)).size();
  PointsCache::Limits limits = KeepingAll();
  limits.mostBytes = entryBytes * 3;
  const auto cache = CacheIn(folder, limits);
  const auto age = [&](const QString& path, int secondsAgo) {
    QFile entry(cache->EntryPath(StampOf(path), kZone));
    ASSERT_TRUE(entry.open(QIODevice::ReadWrite));
    ASSERT_TRUE(entry.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                                  QFileDevice::FileModificationTime));
  };
  age(paths[0], 300);
  for (int i = 1; i < 3; ++i) {
    cache->Keep(StampOf(paths[i]), kZone, loaded.scan, 0, loaded.points);
    age(paths[i], 300 - i * 100);
  }
  // Using the oldest makes it the newest.
  ASSERT_TRUE(cache->Find(StampOf(paths[0]), kZone));
  cache->Keep(StampOf(paths[3]), kZone, loaded.scan, 0, loaded.points);
  EXPECT_TRUE(cache->Find(StampOf(paths[0]), kZone));
  EXPECT_FALSE(cache->Find(StampOf(paths[1]), kZone));
  EXPECT_TRUE(cache->Find(StampOf(paths[2]), kZone));
  EXPECT_TRUE(cache->Find(StampOf(paths[3]), kZone));
}

TEST(PointsCache, ReadersBesideWritersOfOneEntrySeeWholeEntriesOnly) {
  test::TemporaryFolder folder;
  const QString path = LoggerLog(folder, QStringLiteral("a.log"), 2000);
  const QString shorter = LoggerLog(folder, QStringLiteral("b.log"), 1000);
  const Loaded a = FromFile(path);
  const Loaded b = FromFile(shorter);
  const auto cache = CacheIn(folder);
  const FileStamp stamp = StampOf(path);
  std::atomic<bool> done = false;
  std::atomic<int> found = 0;
  std::atomic<int> wrong = 0;
  std::thread reader([&] {
    while (!done) {
      if (const std::optional<PointsCache::Entry> entry = cache->Find(stamp, kZone)) {
        ++found;
        if (!(entry->points == a.points) && !(entry->points == b.points)) {
          ++wrong;
        }
      }
    }
  });
  for (int i = 0; i < 40; ++i) {
    const Loaded& kept = i % 2 == 0 ? a : b;
    cache->Keep(stamp, kZone, kept.scan, 0, kept.points);
  }
  done = true;
  reader.join();
  EXPECT_GT(found, 0);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace trevalo
