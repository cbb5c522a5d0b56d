#include "nmea/log_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "nmea/nmea_fields.h"
#include "nmea/point_parser.h"
#include "nmea/point_sentence.h"
#include "nmea/sentence_counter.h"
#include "nmea/sentence_reader.h"
#include "track/packed_points.h"
#include "track/time_zone.h"

namespace trevalo {
namespace {

// A copy of a counted sentence, kept past the reader's buffer.
struct KeptSentence {
  char text[kMaxSentenceText];
  std::size_t length = 0;
  std::uint64_t offset = 0;

  void Keep(const Sentence& s) {
    length = s.text.size();
    std::memcpy(text, s.text.data(), length);
    offset = s.offset;
  }
  std::string_view view() const { return {text, length}; }
};

// The sentence whose start character is at `position`.
KeptSentence ReadSentenceAt(ByteSource& source, std::uint64_t position) {
  char bytes[kMaxSentenceText + 1];
  const std::int64_t read = source.ReadAt(position, bytes, sizeof bytes);
  KeptSentence kept;
  kept.offset = position + 1;
  if (read <= 1) {
    return kept;
  }
  const std::size_t length =
      SentenceTextLength(bytes + 1, static_cast<std::size_t>(read) - 1, bytes[0]);
  std::memcpy(kept.text, bytes + 1, length);
  kept.length = length;
  return kept;
}

bool HasCompleteTimeFields(std::string_view text) {
  const SentenceFields fields(text);
  return HasDateAndTime(fields[1], fields[9]);
}

// A counted sentence (of any kind) whose time and date fields are complete.
bool IsCompleteCountedSentence(const Sentence& s) {
  return KindOf(s) != CountedKind::kNone && !(s.start == '$' && ChecksumFails(s.text)) &&
         HasCompleteTimeFields(s.text);
}

// The time of one end of the log: a sentence with complete fields when there is one, else
// the first (or last) counted sentence, which needs 18 bytes left in the data from the
// second character of its tag to be read at all.
std::optional<TimeValue> EndpointTime(const std::optional<KeptSentence>& complete,
                                      const KeptSentence& counted, std::uint64_t dataSize,
                                      ScanResult& result) {
  const KeptSentence& chosen = complete ? *complete : counted;
  if (!complete && dataSize - (counted.offset + 1) < 18) {
    result.problem = ScanProblem::kTruncated;
    result.problemOffset = counted.offset - 1;
    return std::nullopt;
  }
  const SentenceFields fields(chosen.view());
  const std::optional<TimeValue> time = SentenceDateTime(fields[1], fields[9]);
  if (!time) {
    result.problem = ScanProblem::kInvalidDateTime;
    result.problemOffset = chosen.offset - 1;
  }
  return time;
}

}  // namespace

ScanResult ScanLog(ByteSource& source, int effectiveZone) {
  ScanResult result;
  const SentenceCount count = CountSentences(source);
  result.pointCount = count.pointCount;
  result.lapCount = count.lapCount;
  result.waypointCount = count.waypointCount;
  result.refusedCount = count.refusedCount;
  if (count.readFailed) {
    result.problem = ScanProblem::kUnreadable;
    return result;
  }
  if (result.pointCount == 0) {
    result.problem = ScanProblem::kNoPointSentence;
    return result;
  }

  // The start: the first counted sentence with complete fields, reading on from the first.
  const KeptSentence first = ReadSentenceAt(source, count.firstCounted);
  std::optional<KeptSentence> firstComplete;
  std::optional<KeptSentence> lastComplete;
  if (HasCompleteTimeFields(first.view())) {
    firstComplete = first;
  } else {
    SentenceReader reader(source, count.firstCounted);
    Sentence s;
    while (reader.Next(s)) {
      if (IsCompleteCountedSentence(s)) {
        firstComplete.emplace().Keep(s);
        break;
      }
    }
  }

  // The end: the newest counted sentence with complete fields; only when none of the last
  // few has them is the whole log read again.
  const KeptSentence last = ReadSentenceAt(source, count.Recent(0));
  if (firstComplete) {
    const std::size_t recent = std::min(count.recentCount, SentenceCount::kRecent);
    for (std::size_t i = 0; i < recent && !lastComplete; ++i) {
      const KeptSentence candidate = i == 0 ? last : ReadSentenceAt(source, count.Recent(i));
      if (HasCompleteTimeFields(candidate.view())) {
        lastComplete = candidate;
      }
    }
    if (!lastComplete) {
      SentenceReader reader(source, firstComplete->offset - 1);
      Sentence s;
      while (reader.Next(s)) {
        if (IsCompleteCountedSentence(s)) {
          lastComplete.emplace().Keep(s);
        }
      }
    }
  }

  const std::optional<TimeValue> start = EndpointTime(firstComplete, first, count.dataSize, result);
  if (!start) {
    return result;
  }
  const std::optional<TimeValue> end = EndpointTime(lastComplete, last, count.dataSize, result);
  if (!end) {
    return result;
  }
  result.utcStart = *start;
  result.localStart = ShiftByZone(*start, effectiveZone);
  result.localEnd = ShiftByZone(*end, effectiveZone);
  result.hasTimes = true;
  return result;
}

template <class Points>
ParseResult ParseLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     Points& points) {
  points.assign(pointCount, TrackPoint{});
  PointParser<Points> parser(pointCount, effectiveZone, points);
  SentenceReader reader(source);
  return parser.ReadOn(reader);
}

template ParseResult ParseLog(ByteSource&, std::uint32_t, int, std::vector<TrackPoint>&);
template ParseResult ParseLog(ByteSource&, std::uint32_t, int, PointWindow&);

}  // namespace trevalo
