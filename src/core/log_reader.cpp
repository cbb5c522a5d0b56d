#include "core/log_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/nmea_fields.h"
#include "core/nmea_talker.h"
#include "core/packed_points.h"
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
  const std::size_t fieldCount = static_cast<std::size_t>(groups) * 4;
  std::size_t length = 0;
  for (std::size_t n = 0; n < fieldCount; ++n) {
    length += 1 + std::max<std::size_t>(fields[4 + n].size(), 1);
  }
  std::size_t at = text.size();
  text.resize(at + length);
  for (std::size_t n = 0; n < fieldCount; ++n) {
    const std::string_view field = fields[4 + n];
    text[at++] = ',';
    if (field.empty()) {
      text[at++] = '0';
    } else {
      std::memcpy(&text[at], field.data(), field.size());
      at += field.size();
    }
  }
}

// The satellites in view of one epoch, from its GSV sequences. A receiver of several systems
// writes one sequence per system (GPGSV, GLGSV, GAGSV, ...) and, from NMEA 4.10 on, one per
// signal of a system as well, which lists the same satellites again: the summary takes each
// system once, from the first signal it reports, and puts the count of all first. A sequence
// of a system already taken with the same signal starts the summary afresh, as the only
// sequence of a single-system receiver does in every epoch.
class SatelliteSummary {
 public:
  void Take(std::string_view text, TrackPoint& point) {
    const SentenceFields f(text);
    const int total = ReadInt(f[1]);
    const int number = ReadInt(f[2]);
    const int count = ReadInt(f[3]);
    const int remaining = count <= 0 ? 0 : (count % 4 == 0 ? 4 : count % 4);
    const int groups = number < total ? 4 : (number == total ? remaining : 0);
    if (number == 1) {
      StartSequence(Sequence{std::string(text.substr(0, 2)), std::string(SignalId(text, groups)),
                             std::clamp(count, 0, 255)},
                    f[3]);
    }
    if (skipping_) {
      return;
    }
    // One system's count as written; counts of several are summed within what can be real.
    point.satellitesInView = earlierCount_ == 0 ? count : earlierCount_ + std::clamp(count, 0, 255);
    AppendSatelliteGroups(f, groups, groups_);
    if (number == total) {
      point.satelliteText.assign(countText_).append(groups_);
    }
  }

  // The next GSV sequence belongs to a new epoch.
  void NextEpoch() { sequences_.clear(); }

 private:
  struct Sequence {
    std::string talker;
    std::string signal;
    int count;
  };

  // The signal id: a field after the last satellite group, before the checksum (NMEA 4.10
  // on); empty for a sentence without one.
  static std::string_view SignalId(std::string_view text, int groups) {
    const std::string_view body = text.substr(0, text.find('*'));
    if (std::count(body.begin(), body.end(), ',') != 4 + groups * 4) {
      return {};
    }
    return body.substr(body.rfind(',') + 1);
  }

  void StartSequence(Sequence sequence, std::string_view countField) {
    skipping_ = false;
    bool systemTaken = false;
    bool signalTaken = false;
    int takenCount = 0;
    for (const Sequence& s : sequences_) {
      takenCount += s.count;
      if (s.talker == sequence.talker) {
        systemTaken = true;
        signalTaken = signalTaken || s.signal == sequence.signal;
      }
    }
    if (sequences_.empty() || signalTaken) {
      sequences_.clear();
      earlierCount_ = 0;
      countText_.assign(countField);
      groups_.clear();
    } else if (systemTaken) {
      skipping_ = true;
      return;
    } else {
      earlierCount_ = takenCount;
      char text[16];
      std::snprintf(text, sizeof text, "%02d", std::max(0, takenCount + sequence.count));
      countText_ = text;
    }
    sequences_.push_back(std::move(sequence));
  }

  std::vector<Sequence> sequences_;
  std::string countText_;
  std::string groups_;
  int earlierCount_ = 0;
  bool skipping_ = false;
};

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

}  // namespace

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

template <class Points>
ParseResult ParseLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     Points& points) {
  ParseResult result;
  points.assign(pointCount, TrackPoint{});
  SentenceReader reader(source);
  Sentence sentence;
  std::size_t p = 0;
  bool rmcSeen = false;
  SatelliteSummary satellites;
  DateStamps dateStamps;
  // Most receivers, the logger among them, write an epoch's RMC last; others (u-blox) write
  // it first. The first GGA after the first point tells: when it carries that point's time
  // and none came before it, the GGA, GSA and GSV sentences after each RMC belong to it.
  bool orderKnown = false;
  bool rmcFirst = false;
  while ((p < pointCount || rmcFirst) && reader.Next(sentence)) {
    const std::string_view text = sentence.text;
    TrackPoint* const filling = p < pointCount ? &points[p] : nullptr;
    TrackPoint& epoch = rmcFirst ? points[p - 1] : *filling;
    if (sentence.start == '$') {
      if (HasSentenceType(text, "GGA")) {
        const SentenceFields f(text);
        if (!orderKnown && p > 0) {
          orderKnown = true;
          rmcFirst = p == 1 && points[0].ggaMatchesRmc == 0 && !f[1].empty() &&
                     f[1] == points[0].rmcTimeText;
        }
        TrackPoint& point = rmcFirst ? points[p - 1] : *filling;
        point.ggaTimeText.assign(f[1]);
        const double altitude = ReadReal(f[9]);
        point.altitudeBelowSea = altitude < 0 ? 1 : 0;
        point.altitude = altitude < 0 ? -altitude : altitude;
        point.differential = ReadInt(f[6]) == 2 ? 1 : 0;
        if (rmcFirst) {
          point.ggaMatchesRmc = point.ggaTimeText == point.rmcTimeText ? 1 : 0;
        }
      } else if (HasSentenceType(text, "GSV")) {
        satellites.Take(text, epoch);
      } else if (HasSentenceType(text, "GSA")) {
        const SentenceFields f(text);
        epoch.gsaMode.assign(f[1]);
        const int fixType = ReadInt(f[2]);
        epoch.fixTypeText = std::to_string(fixType);
        epoch.dop = fixType == 2 ? ReadReal(f[16]) : ReadReal(f[15]);
        epoch.hdop = ReadReal(f[16]);
      } else if (filling != nullptr && Classify(sentence) == CountedKind::kPoint) {
        TrackPoint& point = *filling;
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
        point.dateStampText = dateStamps.Of(point.localTime);
        point.isValid = f[2] == "A" ? 1 : 0;
        point.latitude = ReadReal(f[3]);
        point.latitudeRef.assign(f[4]);
        point.longitude = ReadReal(f[5]);
        point.longitudeRef.assign(f[6]);
        point.speedRef = "K";
        point.speed = ReadReal(f[7]) * 1.852;
        point.courseRef = "T";
        point.course = ReadReal(f[8]);
        if (rmcFirst) {
          DropImplausibleFix(points[p - 1]);  // its epoch is complete now
        }
        DropImplausibleFix(point);
        satellites.NextEpoch();
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
    } else if (filling != nullptr && HasTag(text, "TRRMC")) {
      filling->isLap = 1;
    } else if (filling != nullptr && HasTag(text, "WPRMC")) {
      filling->isWaypoint = 1;
    }
  }
  if (rmcFirst) {
    DropImplausibleFix(points[p - 1]);  // the sentences after the last point are read
  } else if (p < pointCount) {
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

template ParseResult ParseLog(ByteSource&, std::uint32_t, int, std::vector<TrackPoint>&);
template ParseResult ParseLog(ByteSource&, std::uint32_t, int, PointWindow&);

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
    case ScanProblem::kNoTimedPoint:
      return "no track point or waypoint with a time";
    case ScanProblem::kMalformed:
      return "not a well-formed GPX document";
  }
  return {};
}

}  // namespace trevalo
