// Any bytes as a log: the two passes must not crash, must agree with each other, and must
// read sentences and numbers exactly as the plain byte-by-byte grammar and the C library do.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "nmea/log_reader.h"
#include "nmea/nmea_fields.h"
#include "nmea/point_sentence.h"
#include "nmea/sentence_counter.h"
#include "nmea/sentence_reader.h"
#include "nmea/split_log_parse.h"
#include "track/packed_points.h"
#include "track/track_walk.h"

namespace {

struct Seen {
  char start;
  std::string text;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> ByteByByte(std::string_view data) {
  std::vector<Seen> seen;
  std::size_t i = 0;
  while (i < data.size()) {
    const char c = data[i++];
    if (c != '$' && c != '@') {
      continue;
    }
    Seen s{c, {}};
    while (i < data.size() && s.text.size() < trevalo::kMaxSentenceText) {
      const char b = data[i];
      if (b == '\r' || b == '\n') {
        ++i;
        break;
      }
      if (b == '$' || (c == '@' && b == '@')) {
        break;  // begins the next sentence
      }
      s.text.push_back(b);
      ++i;
    }
    seen.push_back(std::move(s));
  }
  return seen;
}

void CheckNumbers(std::string_view field) {
  const std::string copy(field);
  const double expected = std::strtod(copy.c_str(), nullptr);
  const double real = trevalo::ReadReal(field);
  Check(std::isnan(expected) ? std::isnan(real) : real == expected);
  const long expectedInt = std::strtol(copy.c_str(), nullptr, 10);
  if (expectedInt > -2147483648L && expectedInt < 2147483647L) {
    Check(trevalo::ReadInt(field) == expectedInt);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  trevalo::MemoryByteSource source(bytes);

  std::vector<Seen> sentences;
  {
    trevalo::SentenceReader reader(source);
    trevalo::Sentence s;
    while (reader.Next(s)) {
      sentences.push_back({s.start, std::string(s.text)});
      const trevalo::SentenceFields fields(s.text);
      for (std::size_t n = 0; n < 4; ++n) {
        // The C library stops at a NUL byte, the field does not; compare where they agree.
        if (fields[n].find('\0') == std::string_view::npos) {
          CheckNumbers(fields[n]);
        }
      }
    }
    Check(reader.bytesRead() == size);
  }
  Check(sentences == ByteByByte(bytes));

  // The counts and the points follow the sentences the grammar gives: a point sentence
  // counts when its checksum holds and it starts an epoch of its own.
  std::vector<std::string_view> pointTimes;
  std::uint32_t refused = 0;
  trevalo::EpochFollower epochs;
  std::int32_t laps = 0;
  std::int32_t waypoints = 0;
  const auto timed = [](std::string_view text, std::string_view tag) {
    return text.size() > tag.size() && text.substr(0, tag.size()) == tag &&
           text[tag.size()] >= '0' && text[tag.size()] <= '9';
  };
  for (const Seen& s : sentences) {
    // A point sentence comes from any talker: two capitals, not a proprietary 'P'.
    const bool talker = s.text.size() >= 2 && s.text[0] >= 'A' && s.text[0] <= 'Z' &&
                        s.text[0] != 'P' && s.text[1] >= 'A' && s.text[1] <= 'Z';
    if (s.start == '$' && talker && timed(s.text.substr(2), "RMC,")) {
      if (trevalo::ChecksumFails(s.text)) {
        ++refused;
      } else if (epochs.StartsPoint(s.text)) {
        pointTimes.push_back(trevalo::SentenceFields(s.text)[1]);
      }
    } else if (s.start == '@' && timed(s.text, "TRRMC,")) {
      ++laps;
    } else if (s.start == '@' && timed(s.text, "WPRMC,")) {
      ++waypoints;
    }
  }
  for (const int zone : {0, 900, -330}) {
    const trevalo::ScanResult scan = trevalo::ScanLog(source, zone);
    Check(scan.pointCount == pointTimes.size() && scan.refusedCount == refused);
    Check(scan.lapCount == laps && scan.waypointCount == waypoints);
    std::vector<trevalo::TrackPoint> points;
    const trevalo::ParseResult parse = trevalo::ParseLog(source, scan.pointCount, zone, points);
    Check(points.size() == scan.pointCount);
    Check(parse.deviceValueCount >= 0 &&
          static_cast<std::uint32_t>(parse.deviceValueCount) <= scan.pointCount);
    if (!parse.ok) {
      continue;  // a parse stopped by a bad date leaves no points to the log
    }
    // What a loaded log keeps, packed as the parse goes, is exactly what the parse gives
    // (whatever the zone: one of them suffices).
    if (zone == 900) {
      trevalo::PackedPoints packed;
      trevalo::PointWindow window(packed);
      const trevalo::ParseResult windowed =
          trevalo::ParseLog(source, scan.pointCount, zone, window);
      window.Finish();
      Check(windowed.ok && windowed.deviceValueCount == parse.deviceValueCount);
      Check(packed.size() == points.size());
      for (std::size_t i = 0; i < points.size(); ++i) {
        Check(packed[i] == points[i] && packed.localTimeAt(i) == points[i].localTime);
      }
      // A long log is counted and parsed in two parts on two threads: wherever the split
      // falls, the result is the one thread's.
      const trevalo::PackedPoints whole(points);
      const trevalo::SentenceCount count = trevalo::CountSentencesIn(source, 0, UINT64_MAX);
      for (const std::uint64_t splitNear :
           {bytes.size() / 2, bytes.size() * (size > 0 ? data[0] % 8 : 0) / 8}) {
        const trevalo::SentenceCount split = trevalo::CountSentencesOnTwoThreads(source, splitNear);
        Check(split.pointCount == count.pointCount && split.lapCount == count.lapCount &&
              split.waypointCount == count.waypointCount &&
              split.refusedCount == count.refusedCount &&
              split.firstCounted == count.firstCounted && split.recentCount == count.recentCount);
        for (std::size_t i = 0; i < std::min(count.recentCount, count.kRecent); ++i) {
          Check(split.Recent(i) == count.Recent(i));
        }
        trevalo::PackedPoints parts;
        const trevalo::ParseResult joined =
            trevalo::ParseLogOnTwoThreads(source, scan.pointCount, zone, parts, splitNear);
        Check(joined.ok && joined.deviceValueCount == parse.deviceValueCount);
        Check(parts == whole);
      }
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
      Check(points[i].rmcTimeText == pointTimes[i]);
    }
    // No number that cannot be a measurement reaches a point, and a usable point is a place.
    for (const trevalo::TrackPoint& point : points) {
      Check(point.altitude >= 0 && point.altitude <= trevalo::kMostAltitudeMetres);
      Check(point.speed >= 0 && point.speed <= trevalo::kMostSpeedKmh);
      Check(point.course >= 0 && point.course <= 360);
      Check(point.dop >= 0 && point.dop <= trevalo::kMostDop);
      Check(point.hdop >= 0 && point.hdop <= trevalo::kMostDop);
      Check(point.satellitesInView >= 0);
      if (trevalo::IsUsable(point)) {
        const trevalo::Coordinate position = trevalo::BuildPosition(point, {});
        Check(std::fabs(position.latitudeDegrees) <= 90 &&
              std::fabs(position.longitudeDegrees) <= 180);
      }
    }
  }
  return 0;
}
