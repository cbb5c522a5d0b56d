#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QFileInfo>

#include "logs/gps_log.h"
#include "nmea/log_reader.h"
#include "nmea/sentence_counter.h"
#include "nmea/split_log_parse.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "track/packed_points.h"

namespace trevalo {
namespace {

void ExpectSameCount(const SentenceCount& a, const SentenceCount& b, const std::string& where) {
  EXPECT_EQ(a.pointCount, b.pointCount) << where;
  EXPECT_EQ(a.refusedCount, b.refusedCount) << where;
  EXPECT_EQ(a.lapCount, b.lapCount) << where;
  EXPECT_EQ(a.waypointCount, b.waypointCount) << where;
  EXPECT_EQ(a.firstCounted, b.firstCounted) << where;
  EXPECT_EQ(a.dataSize, b.dataSize) << where;
  EXPECT_EQ(a.readFailed, b.readFailed) << where;
  ASSERT_EQ(a.recentCount, b.recentCount) << where;
  for (std::size_t i = 0; i < std::min(a.recentCount, SentenceCount::kRecent); ++i) {
    EXPECT_EQ(a.Recent(i), b.Recent(i)) << where << " recent " << i;
  }
}

// Splits the data at `splits` - 1 places and checks that the count and the parse on two
// threads give exactly what one thread gives; returns how many parses joined their parts.
int ExpectSameOnTwoThreads(const std::string& data, int splits, int zone = 900,
                           std::optional<std::uint32_t> pointCount = std::nullopt) {
  MemoryByteSource source(data);
  const SentenceCount whole = CountSentencesIn(source, 0, UINT64_MAX);
  const std::uint32_t count = pointCount.value_or(whole.pointCount);
  std::vector<TrackPoint> points;
  const ParseResult expected = ParseLog(source, count, zone, points);
  const PackedPoints expectedPoints(points);
  int joined = 0;
  for (int k = 1; k < splits; ++k) {
    const std::uint64_t splitNear = data.size() * static_cast<std::uint64_t>(k) / splits;
    const std::string where = "split near " + std::to_string(splitNear);
    ExpectSameCount(CountSentencesOnTwoThreads(source, splitNear), whole, where);

    PackedPoints packed;
    bool partsJoined = false;
    const ParseResult parsed =
        ParseLogOnTwoThreads(source, count, zone, packed, splitNear, &partsJoined);
    EXPECT_EQ(parsed.ok, expected.ok) << where;
    EXPECT_EQ(parsed.problemOffset, expected.problemOffset) << where;
    EXPECT_EQ(parsed.deviceValueCount, expected.deviceValueCount) << where;
    EXPECT_EQ(parsed.readFailed, expected.readFailed) << where;
    EXPECT_TRUE(packed == expectedPoints) << where << (partsJoined ? " (joined)" : "");
    joined += partsJoined ? 1 : 0;
  }
  return joined;
}

test::LogPlan LoggerPlan(int epochs) {
  test::LogPlan plan;
  plan.epochs = epochs;
  plan.lapEpochs = {3, epochs / 3, epochs - 2};
  plan.waypointEpochs = {epochs / 2, epochs / 2 + 1};
  return plan;
}

// The logger's own logs are split wherever the line falls, and the parts are joined.
TEST(SplitLogParse, LoggerLogsGiveTheSamePointsJoined) {
  // Long enough for the parts to meet where the points join without a copy, and short.
  const std::string log = test::GenerateLog(LoggerPlan(3000));
  EXPECT_GE(ExpectSameOnTwoThreads(log, 40), 36);
  EXPECT_GE(ExpectSameOnTwoThreads(test::GenerateLog(LoggerPlan(600)), 20), 18);

  // Without device sentences, and with a time zone east and west.
  test::LogPlan plan = LoggerPlan(2000);
  plan.deviceSentences = false;
  const std::string plain = test::GenerateLog(plan);
  EXPECT_GE(ExpectSameOnTwoThreads(plain, 20, 540), 15);
  EXPECT_GE(ExpectSameOnTwoThreads(plain, 20, -330), 15);
}

// A receiver that writes an epoch's RMC first: the second part takes the order the first
// decided at its first points, and completes the point before the split as the first does.
// A receiver without GGA sentences leaves the order undecided in both parts.
TEST(SplitLogParse, ReceiversWritingTheirRmcFirstOrNoGgaGiveTheSamePointsJoined) {
  test::LogPlan plan;
  plan.epochs = 1500;
  const std::string rmcFirst = test::GenerateMultiSystemLog(plan);
  EXPECT_GE(ExpectSameOnTwoThreads(rmcFirst, 24), 17);

  std::string withoutGga;
  for (std::size_t lineStart = 0; lineStart < rmcFirst.size();) {
    const std::size_t end = rmcFirst.find('\n', lineStart) + 1;
    const std::string_view line(rmcFirst.data() + lineStart, end - lineStart);
    lineStart = end;
    if (line.substr(3, 3) != "GGA") {
      withoutGga += line;
    }
  }
  ASSERT_LT(withoutGga.size(), rmcFirst.size());
  EXPECT_GE(ExpectSameOnTwoThreads(withoutGga, 24), 17);
}

// What receivers add (other systems' RMC sentences of an epoch, corrupted copies, doubled
// starts, binary data): a split may fall between two views of one epoch, and the second part
// takes up the epoch the first part's count ended with.
TEST(SplitLogParse, LogsWithReceiverNoiseGiveTheSamePointsJoined) {
  test::LogPlan plan = LoggerPlan(1500);
  for (std::string log : {test::GenerateLog(plan), test::GenerateMultiSystemLog(plan)}) {
    for (const test::ReceiverNoise noise :
         {test::ReceiverNoise::kOtherSystems, test::ReceiverNoise::kCorruptedCopies,
          test::ReceiverNoise::kDoubledStarts, test::ReceiverNoise::kBinaryBefore}) {
      log = test::AddReceiverNoise(log, noise);
    }
    EXPECT_GE(ExpectSameOnTwoThreads(log, 40), 30);
  }
}

// Satellite sequences that stop starting anew carry the summary from epoch to epoch, even
// over epochs without any: a fresh parser after the split holds another summary than the
// first part's parser, though both read the same points there, and its part is dropped.
TEST(SplitLogParse, ASummaryCarriedOverTheSplitGivesTheSamePoints) {
  const std::string log = test::GenerateLog(LoggerPlan(200));
  std::string carried;
  int epoch = 0;
  for (std::size_t lineStart = 0; lineStart < log.size();) {
    const std::size_t end = log.find('\n', lineStart) + 1;
    const std::string_view text(log.data() + lineStart, end - lineStart);
    lineStart = end;
    const bool firstMessages = text.starts_with("$GPGSV,3,1,") || text.starts_with("$GPGSV,3,2,");
    const bool lastMessage = text.starts_with("$GPGSV,3,3,");
    if ((firstMessages && epoch > 40) || (lastMessage && epoch > 40 && epoch < 180)) {
      continue;
    }
    epoch += text.starts_with("$GPRMC") ? 1 : 0;
    carried += text;
  }
  ASSERT_EQ(epoch, 200);
  ExpectSameOnTwoThreads(carried, 24);
}

// Fewer points than the data holds (a log that grew since it was counted): the parse
// stops at the same sentence whichever part it lies in.
TEST(SplitLogParse, APointCountBelowTheDataStopsAtTheSamePoint) {
  const std::string log = test::GenerateLog(LoggerPlan(400));
  for (const std::uint32_t count : {1u, 2u, 9u, 11u, 150u, 250u, 398u, 399u}) {
    ExpectSameOnTwoThreads(log, 12, 900, count);
  }
  ExpectSameOnTwoThreads(log, 12, 900, 0);
}

// A date out of range stops the parse where one thread stops it, before, at and after
// the split.
TEST(SplitLogParse, ADateOutOfRangeStopsAtTheSameSentence) {
  const std::string log = test::GenerateLog(LoggerPlan(300));
  for (const double at : {0.1, 0.5, 0.56, 0.9}) {
    std::string damaged = log;
    const std::size_t rmc = damaged.find("$GPRMC", static_cast<std::size_t>(log.size() * at));
    ASSERT_NE(rmc, std::string::npos);
    const std::size_t dateField = damaged.find(",170509,", rmc);
    ASSERT_NE(dateField, std::string::npos);
    damaged.replace(dateField, 8, ",171309,");  // month 13
    ExpectSameOnTwoThreads(damaged, 16);
  }
}

// Logs damaged as editors, crashes and cables damage them: lost and doubled line breaks,
// bytes dropped, start characters in the middle of sentences, lines past 255 bytes.
TEST(SplitLogParse, DamagedLogsGiveTheSamePoints) {
  const std::string log = test::GenerateLog(LoggerPlan(300));
  std::mt19937 random(20261209);
  for (int round = 0; round < 12; ++round) {
    std::string damaged = log;
    for (int change = 0; change < 60; ++change) {
      const std::size_t at = random() % damaged.size();
      switch (random() % 6) {
        case 0:
          damaged.erase(at, 1 + random() % 40);
          break;
        case 1:
          damaged.insert(at, "\n");
          break;
        case 2:
          damaged.insert(at, random() % 2 == 0 ? "$" : "@");
          break;
        case 3:
          damaged.insert(at, std::string(200 + random() % 200, 'x'));
          break;
        case 4:
          damaged[at] = static_cast<char>(random() % 256);
          break;
        default:
          damaged.insert(at, damaged.substr(random() % damaged.size(), 300));
          break;
      }
    }
    ExpectSameOnTwoThreads(damaged, 16);
  }
}

// Real receivers' logs.
TEST(SplitLogParse, OtherReceiversLogsGiveTheSamePoints) {
  ASSERT_FALSE(test::TestDataFolder().isEmpty());
  for (const char* name : {"/nmea/gpsd_telit-he910.nmea", "/nmea/gpsbabel_track.nmea"}) {
    SCOPED_TRACE(name);
    const QByteArray bytes = test::ReadFile(test::TestDataFolder() + QString::fromLatin1(name));
    ASSERT_FALSE(bytes.isEmpty());
    ExpectSameOnTwoThreads(bytes.toStdString(), 24);
  }
}

// A long log file loads through the two threads as through one: its scan, its points, its
// device values.
TEST(SplitLogParse, ALongLogFileLoadsAsOnOneThread) {
  test::TemporaryFolder folder;
  test::LogPlan plan = LoggerPlan(30'000);
  const QString path = test::WriteGeneratedLog(folder.path(), QStringLiteral("long.log"), plan);
  ASSERT_GE(QFileInfo(path).size(), static_cast<qint64>(kLeastSplitLogBytes));
  struct Loaded {
    std::uint32_t pointCount;
    TimeValue start;
    TimeValue end;
    std::int32_t deviceValues;
    PackedPoints points;
  };
  const auto load = [&](const char* threads) {
    qputenv("TREVALO_THREADS", threads);
    GPSLog log(path, 0, 0, {}, 900, 0);
    EXPECT_TRUE(log.LoadPoints()) << log.loadProblem().toStdString();
    qunsetenv("TREVALO_THREADS");
    return Loaded{log.pointCount(), log.localStart(), log.localEnd(), log.deviceValueCount(),
                  log.points()};
  };
  const Loaded one = load("1");
  const Loaded two = load("2");
  EXPECT_EQ(one.pointCount, 30'000u);
  EXPECT_EQ(two.pointCount, one.pointCount);
  EXPECT_EQ(two.start, one.start);
  EXPECT_EQ(two.end, one.end);
  EXPECT_EQ(two.deviceValues, one.deviceValues);
  EXPECT_TRUE(two.points == one.points);
}

}  // namespace
}  // namespace trevalo
