#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "nmea/point_sentence.h"
#include "nmea/sentence_counter.h"
#include "nmea/sentence_reader.h"

namespace trevalo {
namespace {

struct Seen {
  char start;
  std::string text;
  std::uint64_t offset;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> ReadAll(std::string_view data) {
  MemoryByteSource source(data);
  SentenceReader reader(source);
  std::vector<Seen> seen;
  Sentence s;
  while (reader.Next(s)) {
    seen.push_back({s.start, std::string(s.text), s.offset});
  }
  EXPECT_FALSE(reader.readFailed());
  EXPECT_EQ(reader.bytesRead(), data.size());
  return seen;
}

// The grammar read one byte at a time, the plain way, as the reference.
std::vector<Seen> ReadAllByteByByte(std::string_view data) {
  std::vector<Seen> seen;
  std::size_t i = 0;
  while (i < data.size()) {
    const char c = data[i++];
    if (c != '$' && c != '@') {
      continue;
    }
    Seen s{c, {}, i};
    while (i < data.size() && s.text.size() < kMaxSentenceText) {
      const char b = data[i];
      if (b == '\r' || b == '\n') {
        ++i;  // a line break is consumed
        break;
      }
      if (b == '$' || (c == '@' && b == '@')) {
        break;  // a start character begins the next sentence
      }
      s.text.push_back(b);
      ++i;
    }
    seen.push_back(s);
  }
  return seen;
}

TEST(SentenceReader, SplitsAtLineEndsAndSkipsBytesBetweenSentences) {
  const auto seen = ReadAll("junk\r\n$GPGGA,1,2\r\n@QNDBG,1,2,\n$GPRMC,3*4B");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (Seen{'$', "GPGGA,1,2", 7}));
  EXPECT_EQ(seen[1], (Seen{'@', "QNDBG,1,2,", 19}));
  EXPECT_EQ(seen[2], (Seen{'$', "GPRMC,3*4B", 31}));
}

TEST(SentenceReader, AStartCharacterInsideASentenceBeginsTheNext) {
  // Right after another sentence, a doubled start, binary data on the same line (a u-blox
  // UBX frame with an '@' in it) before the sentence.
  const auto seen =
      ReadAll("$GPGGA,1$GPRMC,123519,A\r\n$$GNRMC,2\r\n\xb5\x62\x01@\x07$GNRMC,3\r\n");
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0].text, "GPGGA,1");
  EXPECT_EQ(seen[1].text, "GPRMC,123519,A");
  EXPECT_EQ(seen[2].text, "");
  EXPECT_EQ(seen[3].text, "GNRMC,2");
  EXPECT_EQ(seen[4], (Seen{'@', "\x07", 40}));
  EXPECT_EQ(seen[5].text, "GNRMC,3");
}

TEST(SentenceReader, AtSignEndsOnlyDeviceSentences) {
  const auto seen = ReadAll("$GPRMC,1@TRRMC,2\r\n@QNDBG,1@WPRMC,3\r\n");
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].text, "GPRMC,1@TRRMC,2");
  EXPECT_EQ(seen[1].text, "QNDBG,1");
  EXPECT_EQ(seen[2].text, "WPRMC,3");
}

TEST(SentenceReader, CutsLongTextsAndReadsOnAfterTheCut) {
  std::string longText(300, 'x');
  longText[270] = '$';  // past the cut: starts a sentence of its own
  const auto seen = ReadAll("$" + longText + "\r\n");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, std::string(255, 'x'));
  EXPECT_EQ(seen[1].text, std::string(29, 'x'));
  EXPECT_EQ(seen[1].offset, 272u);
}

TEST(SentenceReader, AGapExactlyAtTheCutIsNotConsumed) {
  const std::string text(255, 'y');
  const auto seen = ReadAll("$" + text + "$GPRMC,1\r\n");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, "GPRMC,1");
}

TEST(SentenceReader, ATextAtTheEndOfTheDataEndsThere) {
  const auto seen = ReadAll("$GPRMC,12");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "GPRMC,12");
  EXPECT_TRUE(ReadAll("").empty());
  EXPECT_EQ(ReadAll("$").size(), 1u);
}

TEST(SentenceReader, AgreesWithTheByteByByteGrammarOnRandomData) {
  // Several megabytes, so that sentences straddle the reader's block boundaries, made of
  // the bytes that matter to the grammar.
  std::mt19937 random(20091217);
  const char alphabet[] = {'$', '@', '\r', '\n', 'G', 'P', ',', '1', '*', 'x'};
  std::discrete_distribution<int> pick({2, 2, 1, 3, 10, 10, 8, 8, 2, 30});
  std::uniform_int_distribution<int> runLength(0, 400);
  for (int round = 0; round < 3; ++round) {
    std::string data;
    while (data.size() < 3'000'000) {
      const char c = alphabet[pick(random)];
      // Long runs without terminators exercise the 255-byte cut.
      data.append(c == 'x' ? static_cast<std::size_t>(runLength(random)) : 1, c);
    }
    ASSERT_EQ(ReadAll(data), ReadAllByteByByte(data)) << "round " << round;
  }
}

TEST(SentenceCounter, AgreesWithTheGrammarOnRandomData) {
  std::mt19937 random(51709);
  // Besides the grammar's pieces: sentences with a right and a wrong checksum, and several
  // systems' views of two epochs.
  const std::string pieces[] = {"$",
                                "@",
                                "\r",
                                "\n",
                                "\r\n",
                                "GPRMC,1",
                                "TRRMC,2",
                                "WPRMC,3",
                                "GPRMC,",
                                "x",
                                "$GPRMC,4",
                                "@TRRMC,5",
                                "@WPRMC,6",
                                "$GNRMC,7",
                                "GLRMC,8",
                                "$PGRMC,9",
                                "$GPRMC,120000,A,,,,,,,170509*2F",
                                "$GLRMC,120000,A,,,,,,,170509*33",
                                "$GARMC,120001,A,,,,,,,170509*3F",
                                "$GPRMC,120001,A,,,,,,,170509*00"};
  std::discrete_distribution<int> pick(
      {3, 2, 1, 2, 3, 4, 2, 2, 1, 6, 4, 2, 2, 3, 2, 1, 3, 3, 3, 2});
  std::uniform_int_distribution<int> runLength(0, 300);
  for (int round = 0; round < 4; ++round) {
    std::string data;
    while (data.size() < 2'000'000) {
      const int i = pick(random);
      data += pieces[i] == "x" ? std::string(static_cast<std::size_t>(runLength(random)), 'x')
                               : pieces[i];
    }
    std::uint32_t points = 0;
    std::uint32_t refused = 0;
    std::int32_t laps = 0;
    std::int32_t waypoints = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool counted = false;
    EpochFollower epochs;
    for (const Seen& s : ReadAllByteByByte(data)) {
      const std::string bytes = std::string(1, s.start) + s.text;
      CountedKind kind = ClassifySentence(bytes.data(), bytes.size());
      if (kind == CountedKind::kPoint && ChecksumFails(s.text)) {
        ++refused;
        kind = CountedKind::kNone;
      } else if (kind == CountedKind::kPoint && !epochs.StartsPoint(s.text)) {
        kind = CountedKind::kNone;
      }
      points += kind == CountedKind::kPoint ? 1 : 0;
      laps += kind == CountedKind::kLap ? 1 : 0;
      waypoints += kind == CountedKind::kWaypoint ? 1 : 0;
      if (kind != CountedKind::kNone) {
        first = counted ? first : s.offset - 1;
        counted = true;
        last = s.offset - 1;
      }
    }
    MemoryByteSource source(data);
    // On one thread, and in two parts split at several places (a part may begin with
    // another system's view of the epoch the part before it ended with).
    std::vector<SentenceCount> counts{CountSentences(source)};
    for (const std::uint64_t split : {data.size() / 3, data.size() / 2, data.size() / 5 * 4}) {
      counts.push_back(CountSentencesOnTwoThreads(source, split));
    }
    for (const SentenceCount& count : counts) {
      EXPECT_EQ(count.pointCount, points) << "round " << round;
      EXPECT_EQ(count.refusedCount, refused) << "round " << round;
      EXPECT_EQ(count.lapCount, laps) << "round " << round;
      EXPECT_EQ(count.waypointCount, waypoints) << "round " << round;
      EXPECT_EQ(count.firstCounted, first);
      EXPECT_EQ(count.Recent(0), last);
      EXPECT_EQ(count.dataSize, data.size());
    }
  }
}

TEST(SentenceCounter, ReadsPointSentencesAsTheirChecksumAndEpochSay) {
  // Texts around the 64 bytes the count reads at once: checksums right, wrong, cut or
  // absent, ends and '*' on either side of that edge, several talkers of a few epochs.
  std::mt19937 random(20261209);
  const std::string talkers[] = {"GP", "GL", "GN"};
  const std::string times[] = {"120000", "120000.00", "", "120001.000000000000001"};
  std::uniform_int_distribution<int> filler(0, 70);
  std::uniform_int_distribution<int> coin(0, 9);
  PointSentenceCounter counter;
  EpochFollower follower;
  for (int round = 0; round < 200'000; ++round) {
    std::string body = talkers[coin(random) % 3] + "RMC," + times[coin(random) % 4] + ",A";
    body += std::string(static_cast<std::size_t>(filler(random)), coin(random) < 5 ? ',' : '7');
    body += coin(random) < 5 ? ",170509" : ",18";
    unsigned char sum = 0;
    for (const char c : body) {
      sum ^= static_cast<unsigned char>(c);
    }
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", coin(random) == 0 ? sum ^ 1 : sum);
    std::string text = body;
    switch (coin(random)) {
      case 0:
        break;  // no checksum
      case 1:
        text += std::string("*") + digits[0];  // cut inside it
        break;
      default:
        text += std::string("*") + digits;
    }
    text += coin(random) < 8 ? "\r\n" : "$GPGGA";
    text += std::string(80, 'x');  // the data goes on
    const std::string_view sentence(text.data(), SentenceTextLength(text.data(), text.size(), '$'));
    const PointSentenceCounter::Verdict expected =
        ChecksumFails(sentence)          ? PointSentenceCounter::Verdict::kRefused
        : follower.StartsPoint(sentence) ? PointSentenceCounter::Verdict::kNewPoint
                                         : PointSentenceCounter::Verdict::kOtherSystem;
    ASSERT_EQ(counter.Take(text.data(), text.size()), expected) << text;
    // Near the end of the data, with fewer than 64 bytes left.
    const std::size_t tail = std::min(text.size(), sentence.size() + 2);
    if (coin(random) == 0) {
      PointSentenceCounter shortData;
      ASSERT_EQ(shortData.Take(text.data(), tail) == PointSentenceCounter::Verdict::kRefused,
                ChecksumFails(sentence));
    }
  }
  EXPECT_TRUE(counter.last() == follower.last());
}

TEST(SentenceCounter, PointSentencesOfEveryTalker) {
  const auto kind = [](std::string_view bytes) {
    return ClassifySentence(bytes.data(), bytes.size());
  };
  for (const char* talker : {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "GI"}) {
    EXPECT_EQ(kind(std::string("$") + talker + "RMC,1"), CountedKind::kPoint) << talker;
  }
  // Proprietary sentences and lower-case or other bytes are not talkers.
  for (const char* other : {"$PGRMC,1", "$gnRMC,1", "$G1RMC,1", "$G,RMC,1", "$GNRMD,1", "$GNRMC,,",
                            "@GNRMC,1", "$GNRMC"}) {
    EXPECT_EQ(kind(other), CountedKind::kNone) << other;
  }
}

TEST(SentenceReader, StartsAtAnOffset) {
  const std::string data = "$A,1\r\n$B,2\r\n";
  MemoryByteSource source(data);
  SentenceReader reader(source, 6);
  Sentence s;
  ASSERT_TRUE(reader.Next(s));
  EXPECT_EQ(s.text, "B,2");
  EXPECT_EQ(s.offset, 7u);
  EXPECT_FALSE(reader.Next(s));
}

class FailingSource : public ByteSource {
 public:
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    if (offset > 0) {
      return -1;
    }
    const std::string_view first = "$GPRMC,1\r\n";
    const std::size_t n = std::min(size, first.size());
    std::copy_n(first.data(), n, buffer);
    return static_cast<std::int64_t>(n);
  }
};

TEST(SentenceReader, ReportsAReadError) {
  FailingSource source;
  SentenceReader reader(source);
  Sentence s;
  while (reader.Next(s)) {
  }
  EXPECT_TRUE(reader.readFailed());
}

}  // namespace
}  // namespace trevalo
