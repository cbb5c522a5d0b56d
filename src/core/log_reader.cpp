#include "core/log_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/nmea_fields.h"
#include "core/sentence_counter.h"
#include "core/sentence_reader.h"
#include "core/time_zone.h"

namespace trevalo {
namespace {

bool HasTag(std::string_view text, const char (&tag)[6]) {
  return text.size() >= 5 && std::memcmp(text.data(), tag, 5) == 0;
}

// A sentence's kind; the start character sits just before the text in the reader's buffer.
CountedKind Classify(const Sentence& s) {
  return ClassifySentence(s.text.data() - 1, s.text.size() + 1);
}

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
  const char start = bytes[0];
  std::size_t length = 0;
  while (length + 1 < static_cast<std::size_t>(read)) {
    const char c = bytes[length + 1];
    if (c == '\r' || c == '\n' || c == '$' || (start == '@' && c == '@')) {
      break;
    }
    ++length;
  }
  std::memcpy(kept.text, bytes + 1, length);
  kept.length = length;
  return kept;
}

bool HasCompleteTimeFields(std::string_view text) {
  const SentenceFields fields(text);
  return HasDateAndTime(fields[1], fields[9]);
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

void AppendSatelliteGroups(const SentenceFields& fields, int groups, std::string& text) {
  for (int g = 0; g < groups; ++g) {
    for (int k = 0; k < 4; ++k) {
      const std::string_view field = fields[static_cast<std::size_t>(4 + g * 4 + k)];
      text.push_back(',');
      if (field.empty()) {
        text.push_back('0');
      } else {
        text.append(field);
      }
    }
  }
}

// The decimal integer between the second and third comma of a device sentence, or nullopt
// when the sentence has fewer than three commas.
std::optional<std::int32_t> DeviceValue(std::string_view text) {
  std::size_t comma = std::string_view::npos;
  std::size_t begin = 0;
  for (int n = 0; n < 3; ++n) {
    comma = text.find(',', comma == std::string_view::npos ? 0 : comma + 1);
    if (comma == std::string_view::npos) {
      return std::nullopt;
    }
    if (n == 1) {
      begin = comma + 1;
    }
  }
  return ReadInt(text.substr(begin, std::min<std::size_t>(comma - begin, 99)));
}

// The integer part of a real, kept within the 32-bit range (0 for NaN).
std::int32_t TruncateToInt32(double value) {
  if (!(value == value)) {
    return 0;
  }
  return static_cast<std::int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

// A packed ddmm.mmmm (or dddmm.mmmm) value that names a place: finite, not negative,
// minutes below 60, at most `mostDegrees` in all.
bool IsPackedCoordinate(double packed, double mostDegrees) {
  if (!std::isfinite(packed) || packed < 0) {
    return false;
  }
  const double degrees = std::trunc(packed / 100);
  const double minutes = packed - degrees * 100;
  return minutes < 60 && degrees + minutes / 60 <= mostDegrees;
}

// A completed point whose numbers cannot be measurements (a position off the globe, a
// value that is not finite, an altitude or speed beyond any receiver) is no usable point:
// its position is dropped (both coordinates 0, which every walk skips) and each such number
// reads as 0, so that neither documents nor the statistics over all points see it.
void DropImplausibleFix(TrackPoint& point) {
  bool plausible = true;
  const auto bound = [&plausible](auto& value, double least, double most) {
    if (value >= least && value <= most) {  // false for nan
      return true;
    }
    value = 0;
    plausible = false;
    return false;
  };
  if (!bound(point.altitude, 0, kMostAltitudeMetres)) {  // kept as a magnitude
    point.altitudeBelowSea = 0;
  }
  bound(point.speed, 0, kMostSpeedKmh);
  bound(point.course, 0, 360);
  bound(point.dop, 0, kMostDop);
  bound(point.hdop, 0, kMostDop);
  bound(point.satellitesInView, 0, 255);
  if (!plausible || !IsPackedCoordinate(point.latitude, 90) ||
      !IsPackedCoordinate(point.longitude, 180)) {
    point.latitude = 0;
    point.longitude = 0;
  }
}

}  // namespace

ScanResult ScanLog(ByteSource& source, int effectiveZone) {
  ScanResult result;
  const SentenceCount count = CountSentences(source);
  result.pointCount = count.pointCount;
  result.lapCount = count.lapCount;
  result.waypointCount = count.waypointCount;
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
      if (Classify(s) != CountedKind::kNone && HasCompleteTimeFields(s.text)) {
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
        if (Classify(s) != CountedKind::kNone && HasCompleteTimeFields(s.text)) {
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

ParseResult ParseLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     std::vector<TrackPoint>& points) {
  ParseResult result;
  points.assign(pointCount, TrackPoint{});
  SentenceReader reader(source);
  Sentence sentence;
  std::size_t p = 0;
  bool rmcSeen = false;
  std::string satText;
  while (p < pointCount && reader.Next(sentence)) {
    const std::string_view text = sentence.text;
    TrackPoint& point = points[p];
    if (sentence.start == '$') {
      if (HasTag(text, "GPGGA")) {
        const SentenceFields f(text);
        point.ggaTimeText.assign(f[1]);
        const double altitude = ReadReal(f[9]);
        point.altitudeBelowSea = altitude < 0 ? 1 : 0;
        point.altitude = altitude < 0 ? -altitude : altitude;
        point.differential = ReadInt(f[6]) == 2 ? 1 : 0;
      } else if (HasTag(text, "GPGSV")) {
        const SentenceFields f(text);
        const int total = ReadInt(f[1]);
        const int number = ReadInt(f[2]);
        const int count = ReadInt(f[3]);
        point.satellitesInView = count;
        if (number == 1) {
          satText.assign(f[3]);
        }
        if (number < total) {
          AppendSatelliteGroups(f, 4, satText);
        } else if (number == total) {
          const int remaining = count <= 0 ? 0 : (count % 4 == 0 ? 4 : count % 4);
          AppendSatelliteGroups(f, remaining, satText);
          point.satelliteText = satText;
        }
      } else if (HasTag(text, "GPGSA")) {
        const SentenceFields f(text);
        point.gsaMode.assign(f[1]);
        const int fixType = ReadInt(f[2]);
        point.fixTypeText = std::to_string(fixType);
        point.dop = fixType == 2 ? ReadReal(f[16]) : ReadReal(f[15]);
        point.hdop = ReadReal(f[16]);
      } else if (Classify(sentence) == CountedKind::kPoint) {
        const SentenceFields f(text);
        rmcSeen = true;
        point.rmcTimeText.assign(f[1]);
        point.ggaMatchesRmc = point.ggaTimeText == point.rmcTimeText ? 1 : 0;
        const std::optional<TimeValue> utc = SentenceDateTime(f[1], f[9]);
        if (!utc) {
          result.ok = false;
          result.problemOffset = sentence.offset - 1;
          return result;
        }
        point.utcTime = *utc;
        point.utcTimeOfDay = TruncateToInt32(ReadReal(f[1]));
        point.localTime = ShiftByZone(*utc, effectiveZone);
        point.dateStampText = DateStampText(point.localTime);
        point.isValid = f[2] == "A" ? 1 : 0;
        point.latitude = ReadReal(f[3]);
        point.latitudeRef.assign(f[4]);
        point.longitude = ReadReal(f[5]);
        point.longitudeRef.assign(f[6]);
        point.speedRef = "K";
        point.speed = ReadReal(f[7]) * 1.852;
        point.courseRef = "T";
        point.course = ReadReal(f[8]);
        DropImplausibleFix(point);
        ++p;
      }
    } else if (HasTag(text, "QNDBG")) {
      if (rmcSeen) {
        ++result.deviceValueCount;
        rmcSeen = false;
        if (const std::optional<std::int32_t> value = DeviceValue(text)) {
          points[p - 1].deviceValue = *value;
        }
      }
    } else if (HasTag(text, "TRRMC")) {
      point.isLap = 1;
    } else if (HasTag(text, "WPRMC")) {
      point.isWaypoint = 1;
    }
  }
  if (p < pointCount) {
    DropImplausibleFix(points[p]);  // the data ended (or changed) inside an epoch
  }
  result.readFailed = reader.readFailed();
  // The loop ends at the last point sentence, so the device sentence after it is never
  // read: the last point takes the value of the one before.
  if (result.deviceValueCount != 0 &&
      pointCount == static_cast<std::uint32_t>(result.deviceValueCount) + 1) {
    points[pointCount - 1].deviceValue = points[pointCount - 2].deviceValue;
    result.deviceValueCount = static_cast<std::int32_t>(pointCount);
  }
  return result;
}

std::string ScanProblemText(ScanProblem problem) {
  switch (problem) {
    case ScanProblem::kNone:
      return {};
    case ScanProblem::kUnreadable:
      return "the file cannot be read";
    case ScanProblem::kNoPointSentence:
      return "no RMC sentence with a time";
    case ScanProblem::kTruncated:
      return "the first or last timed sentence is cut off by the end of the file";
    case ScanProblem::kInvalidDateTime:
      return "a start or end date or time is out of range";
  }
  return {};
}

}  // namespace trevalo
