#include "nmea/point_parser.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nmea/nmea_fields.h"
#include "nmea/nmea_talker.h"
#include "track/packed_points.h"
#include "track/time_zone.h"

namespace trevalo {
namespace {

bool HasTag(std::string_view text, const char (&tag)[6]) {
  return text.size() >= 5 && std::memcmp(text.data(), tag, 5) == 0;
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

// A fix with a position that a receiver vouches for.
bool IsUsableFix(TrackPoint point) {
  DropImplausibleFix(point);
  return point.isValid == 1 && (point.latitude != 0 || point.longitude != 0);
}

}  // namespace

template <class Points>
bool PointParser<Points>::FillFix(const SentenceFields& f, TrackPoint& point) {
  point.rmcTimeText.assign(f[1]);
  point.ggaMatchesRmc = point.ggaTimeText == point.rmcTimeText ? 1 : 0;
  const std::optional<TimeValue> utc = SentenceDateTime(f[1], f[9]);
  if (!utc) {
    return false;
  }
  point.utcTime = *utc;
  point.utcTimeOfDay = TruncateToInt32(ReadReal(f[1]));
  point.localTime = ShiftByZone(*utc, effectiveZone_);
  point.dateStampText = dateStamps_.Of(point.localTime);
  point.isValid = f[2] == "A" ? 1 : 0;
  point.latitude = ReadReal(f[3]);
  point.latitudeRef.assign(f[4]);
  point.longitude = ReadReal(f[5]);
  point.longitudeRef.assign(f[6]);
  point.speedRef = "K";
  point.speed = ReadReal(f[7]) * 1.852;
  point.courseRef = "T";
  point.course = ReadReal(f[8]);
  if (!HasDateAndTime(f[1], f[9])) {
    // A sentence cut off before its date (the last line of a log when the power went) says
    // nothing about when its position held: no positioned point, not one of 1990-01-01.
    point.isValid = 0;
    point.latitude = 0;
    point.longitude = 0;
  }
  return true;
}

template <class Points>
void PointParser<Points>::TakeSameEpoch(const SentenceFields& f, std::string_view text) {
  // The point before the first sentence of a part read apart is the part before's.
  if (state_.p == 0 || state_.p - 1 < firstPoint_) {
    return;
  }
  TrackPoint& point = points_[state_.p - 1];
  const bool combined = text.substr(0, 2) == "GN";
  if (IsUsableFix(point) && (state_.lastPointCombined || !combined)) {
    return;
  }
  TrackPoint fix;
  if (!FillFix(f, fix) || !IsUsableFix(fix)) {
    return;
  }
  point.isValid = fix.isValid;
  point.latitude = fix.latitude;
  point.latitudeRef = std::move(fix.latitudeRef);
  point.longitude = fix.longitude;
  point.longitudeRef = std::move(fix.longitudeRef);
  point.speed = fix.speed;
  point.course = fix.course;
  state_.lastPointCombined = combined;
}

template <class Points>
bool PointParser<Points>::Take(const Sentence& sentence) {
  const std::string_view text = sentence.text;
  if (state_.lastEpochOpen) {
    // After the last point only other systems' views of its epoch are read, up to the first
    // other sentence of a receiver or of the logger (the device sentence that follows is not
    // read: see Finish).
    if (sentence.start == '$' && text.size() >= 5 && IsNavigationTalker(text[0], text[1]) &&
        !ChecksumFails(text)) {
      if (KindOf(sentence) == CountedKind::kPoint && !state_.epochs.StartsPoint(text)) {
        TakeSameEpoch(SentenceFields(text), text);
      } else {
        state_.lastEpochOpen = false;
      }
    } else if (HasTag(text, "QNDBG") || HasTag(text, "TRRMC") || HasTag(text, "WPRMC")) {
      state_.lastEpochOpen = false;
    }
    return true;
  }
  TrackPoint* const filling = state_.p < pointCount_ ? &points_[state_.p] : nullptr;
  TrackPoint& epoch = state_.rmcFirst ? points_[state_.p - 1] : *filling;
  if (sentence.start == '$') {
    // A sentence whose checksum is wrong was changed on the way: none of it is used.
    if (HasSentenceType(text, "GGA")) {
      if (ChecksumFails(text)) {
        return true;
      }
      const SentenceFields f(text);
      if (!state_.orderKnown && state_.p > 0) {
        state_.orderKnown = true;
        state_.rmcFirst = state_.p == 1 && points_[0].ggaMatchesRmc == 0 && !f[1].empty() &&
                          f[1] == points_[0].rmcTimeText;
      }
      TrackPoint& point = state_.rmcFirst ? points_[state_.p - 1] : *filling;
      point.ggaTimeText.assign(f[1]);
      const double altitude = ReadReal(f[9]);
      point.altitudeBelowSea = altitude < 0 ? 1 : 0;
      point.altitude = altitude < 0 ? -altitude : altitude;
      point.differential = ReadInt(f[6]) == 2 ? 1 : 0;
      if (state_.rmcFirst) {
        point.ggaMatchesRmc = point.ggaTimeText == point.rmcTimeText ? 1 : 0;
      }
    } else if (HasSentenceType(text, "GSV")) {
      if (!ChecksumFails(text)) {
        state_.satellites.Take(text, epoch);
      }
    } else if (HasSentenceType(text, "GSA")) {
      if (ChecksumFails(text)) {
        return true;
      }
      const SentenceFields f(text);
      epoch.gsaMode.assign(f[1]);
      const int fixType = ReadInt(f[2]);
      epoch.fixTypeText = std::to_string(fixType);
      epoch.dop = fixType == 2 ? ReadReal(f[16]) : ReadReal(f[15]);
      epoch.hdop = ReadReal(f[16]);
    } else if (KindOf(sentence) == CountedKind::kPoint && !ChecksumFails(text)) {
      const SentenceFields f(text);
      if (!state_.epochs.StartsPoint(text)) {
        TakeSameEpoch(f, text);
        return true;
      }
      if (filling == nullptr) {
        return true;
      }
      TrackPoint& point = *filling;
      state_.rmcSeen = true;
      if (!FillFix(f, point)) {
        result_.ok = false;
        result_.problemOffset = sentence.offset - 1;
        return false;
      }
      state_.lastPointCombined = text.substr(0, 2) == "GN";
      if (state_.rmcFirst) {
        DropImplausibleFix(points_[state_.p - 1]);  // its epoch is complete now
      }
      DropImplausibleFix(point);
      state_.satellites.NextEpoch();
      ++state_.p;
      state_.lastEpochOpen = state_.p == pointCount_ && !state_.rmcFirst;
    }
  } else if (HasTag(text, "QNDBG")) {
    if (state_.rmcSeen) {
      ++result_.deviceValueCount;
      state_.rmcSeen = false;
      if (const std::optional<std::int32_t> value = DeviceValue(text)) {
        points_[state_.p - 1].deviceValue = *value;
      }
    }
  } else if (filling != nullptr && HasTag(text, "TRRMC")) {
    filling->isLap = 1;
  } else if (filling != nullptr && HasTag(text, "WPRMC")) {
    filling->isWaypoint = 1;
  }
  return true;
}

template <class Points>
void PointParser<Points>::Finish(bool readFailed) {
  if (state_.rmcFirst) {
    DropImplausibleFix(points_[state_.p - 1]);  // the sentences after the last point are read
  } else if (state_.p < pointCount_) {
    DropImplausibleFix(points_[state_.p]);  // the data ended (or changed) inside an epoch
  }
  result_.readFailed = readFailed;
  // The parse ends at the last point sentence, so the device sentence after it is never
  // read: the last point takes the value of the one before.
  if (result_.deviceValueCount != 0 &&
      pointCount_ == static_cast<std::uint32_t>(result_.deviceValueCount) + 1) {
    points_[pointCount_ - 1].deviceValue = points_[pointCount_ - 2].deviceValue;
    result_.deviceValueCount = static_cast<std::int32_t>(pointCount_);
  }
}

template <class Points>
ParseResult& PointParser<Points>::ReadOn(SentenceReader& reader) {
  Sentence sentence;
  while (wantsMore() && reader.Next(sentence) && Take(sentence)) {
  }
  if (result_.ok) {
    Finish(reader.readFailed());
  }
  return result_;
}

template bool PointParser<std::vector<TrackPoint>>::Take(const Sentence&);
template void PointParser<std::vector<TrackPoint>>::Finish(bool);
template bool PointParser<PointWindow>::Take(const Sentence&);
template void PointParser<PointWindow>::Finish(bool);
template ParseResult& PointParser<std::vector<TrackPoint>>::ReadOn(SentenceReader&);
template ParseResult& PointParser<PointWindow>::ReadOn(SentenceReader&);

}  // namespace trevalo
