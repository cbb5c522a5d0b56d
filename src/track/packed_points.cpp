#include "track/packed_points.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

#include "track/log_reading.h"

namespace trevalo {
namespace {

static_assert(sizeof(TimeValue) == 8);

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr unsigned kMostAltitudeScale = 9;
constexpr unsigned kMostDopScale = 7;
constexpr unsigned kMostTimeFractionDigits = 4;
constexpr unsigned kNoTimeText = 7;

// The decimal digits and scale that give back exactly `value` (the same double, sign of a
// zero included) when divided, as the readers' numbers are decimals of a few digits; false
// for any other value.
template <class Digits>
bool PackDecimal(double value, unsigned mostScale, Digits& digits, unsigned& scale) {
  for (unsigned k = 0; k <= mostScale; ++k) {
    const double scaled = std::nearbyint(value * kPowersOfTen[k]);
    if (!(scaled >= static_cast<double>(std::numeric_limits<Digits>::min()) &&
          scaled <= static_cast<double>(std::numeric_limits<Digits>::max()))) {
      return false;  // more digits only make it larger; NaN and infinities end here too
    }
    const auto candidate = static_cast<Digits>(scaled);
    const double back = static_cast<double>(candidate) / kPowersOfTen[k];
    if (back == value && std::signbit(back) == std::signbit(value)) {
      digits = candidate;
      scale = k;
      return true;
    }
  }
  return false;
}

double UnpackDecimal(double digits, unsigned scale) {
  return digits / kPowersOfTen[scale];
}

// The texts a record keeps as codes: a code is the place in its list.
constexpr std::string_view kLatitudeRefs[] = {"", "N", "S"};
constexpr std::string_view kLongitudeRefs[] = {"", "E", "W"};
constexpr std::string_view kGsaModes[] = {"", "A", "M"};
constexpr std::string_view kSpeedRefs[] = {"", "K"};
constexpr std::string_view kCourseRefs[] = {"", "T"};
constexpr std::string_view kFixTypes[] = {"", "0", "1", "2", "3", "4", "5", "6"};

// The place of `text` among `choices`, or -1.
template <std::size_t N>
int CodeOf(const std::string& text, const std::string_view (&choices)[N]) {
  for (std::size_t code = 0; code < N; ++code) {
    if (text == choices[code]) {
      return static_cast<int>(code);
    }
  }
  return -1;
}

std::size_t TextLengthAt(const std::string& texts, std::size_t at) {
  return static_cast<unsigned char>(texts[at]) |
         static_cast<std::size_t>(static_cast<unsigned char>(texts[at + 1])) << 8;
}

bool IsFlag(std::uint8_t value) {
  return value <= 1;
}

// "hhmmss" or "hhmmss.f" with up to four fraction digits, as receivers write the time.
std::string TimeText(std::int32_t timeOfDay, unsigned fractionDigits, std::uint16_t fraction) {
  std::string text(6, '0');
  for (int i = 5, value = timeOfDay; i >= 0; --i, value /= 10) {
    text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  }
  if (fractionDigits > 0) {
    text.push_back('.');
    std::string digits(fractionDigits, '0');
    for (int i = static_cast<int>(fractionDigits) - 1, value = fraction; i >= 0; --i, value /= 10) {
      digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
    text += digits;
  }
  return text;
}

// The form of `text` as a time text of `timeOfDay`: the count of its fraction digits and
// their value, or false when it is written some other way.
bool PackTimeText(const std::string& text, std::int32_t timeOfDay, unsigned& form,
                  std::uint16_t& fraction) {
  if (text.empty()) {
    form = kNoTimeText;
    fraction = 0;
    return true;
  }
  if (timeOfDay < 0 || timeOfDay > 999999 || text.size() < 6 || text.size() == 7 ||
      text.size() > 7 + kMostTimeFractionDigits || (text.size() > 6 && text[6] != '.')) {
    return false;
  }
  unsigned value = 0;
  for (std::size_t i = 7; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  form = text.size() > 6 ? static_cast<unsigned>(text.size() - 7) : 0;
  fraction = static_cast<std::uint16_t>(value);
  return TimeText(timeOfDay, form, fraction) == text;
}

}  // namespace

PackedPoints::PackedPoints(const std::vector<TrackPoint>& points) {
  Reserve(points.size());
  for (const TrackPoint& point : points) {
    Append(point);
  }
}

void PackedPoints::Append(const TrackPoint& point) {
  if (records_.empty()) {
    zoneOffset_ = 0;
    if (__builtin_sub_overflow(point.localTime, point.utcTime, &zoneOffset_)) {
      zoneOffset_ = 0;
    }
  }
  Record record{};
  if (!Pack(point, record)) {
    record = Record{};
    record.whole = 1;
    wholePoints_.push_back(WholePoint{records_.size(), point});
  }
  records_.push_back(record);
}

bool PackedPoints::Pack(const TrackPoint& p, Record& r) {
  TimeValue offset = 0;
  if (__builtin_sub_overflow(p.localTime, p.utcTime, &offset) || offset != zoneOffset_ ||
      p.dateStampText != dateStamps_.Of(p.localTime)) {
    return false;
  }
  r.utcTime = p.utcTime;
  r.latitude = p.latitude;
  r.longitude = p.longitude;
  r.speed = p.speed;
  r.utcTimeOfDay = p.utcTimeOfDay;

  unsigned timeForm = 0;
  unsigned altitudeScale = 0;
  unsigned courseScale = 0;
  unsigned dopScale = 0;
  unsigned hdopScale = 0;
  if (!PackTimeText(p.rmcTimeText, p.utcTimeOfDay, timeForm, r.timeFraction) ||
      !PackDecimal(p.altitude, kMostAltitudeScale, r.altitudeDigits, altitudeScale) ||
      !PackDecimal(p.course, kMostAltitudeScale, r.courseDigits, courseScale) ||
      !PackDecimal(p.dop, kMostDopScale, r.dopDigits, dopScale) ||
      !PackDecimal(p.hdop, kMostDopScale, r.hdopDigits, hdopScale)) {
    return false;
  }
  r.timeForm = timeForm & 7;
  r.altitudeScale = altitudeScale & 15;
  r.courseScale = courseScale & 15;
  r.dopScale = dopScale & 7;
  r.hdopScale = hdopScale & 7;

  if (!p.ggaTimeText.empty() && p.ggaTimeText != p.rmcTimeText) {
    return false;
  }
  r.ggaTimeIsRmcTime = p.ggaTimeText.empty() ? 0 : 1;

  const int latitudeRef = CodeOf(p.latitudeRef, kLatitudeRefs);
  const int longitudeRef = CodeOf(p.longitudeRef, kLongitudeRefs);
  const int gsaMode = CodeOf(p.gsaMode, kGsaModes);
  const int speedRef = CodeOf(p.speedRef, kSpeedRefs);
  const int courseRef = CodeOf(p.courseRef, kCourseRefs);
  const int fixType = CodeOf(p.fixTypeText, kFixTypes);
  if (latitudeRef < 0 || longitudeRef < 0 || gsaMode < 0 || speedRef < 0 || courseRef < 0 ||
      fixType < 0) {
    return false;
  }
  r.letters = static_cast<std::uint8_t>(latitudeRef | longitudeRef << 2 | gsaMode << 4 |
                                        speedRef << 6 | courseRef << 7);
  r.fixType = static_cast<unsigned>(fixType) & 7;

  if (p.satellitesInView < 0 || p.satellitesInView > 255 ||
      p.deviceValue < std::numeric_limits<std::int16_t>::min() ||
      p.deviceValue > std::numeric_limits<std::int16_t>::max() ||
      (p.differential != 0 && p.differential != 1) || !IsFlag(p.isWaypoint) || !IsFlag(p.isLap) ||
      !IsFlag(p.isValid) || !IsFlag(p.ggaMatchesRmc) || !IsFlag(p.altitudeBelowSea) ||
      !IsFlag(p.isInterpolated)) {
    return false;
  }
  r.satellitesInView = static_cast<std::uint8_t>(p.satellitesInView);
  r.deviceValue = static_cast<std::int16_t>(p.deviceValue);
  r.differential = p.differential & 1;
  r.isWaypoint = p.isWaypoint & 1;
  r.isLap = p.isLap & 1;
  r.isValid = p.isValid & 1;
  r.ggaMatchesRmc = p.ggaMatchesRmc & 1;
  r.altitudeBelowSea = p.altitudeBelowSea & 1;
  r.isInterpolated = p.isInterpolated & 1;

  const std::optional<std::uint32_t> satelliteText = KeepSatelliteText(p.satelliteText);
  if (!satelliteText) {
    return false;
  }
  r.satelliteText = *satelliteText;
  return true;
}

std::optional<std::uint32_t> PackedPoints::KeepSatelliteText(const std::string& text) {
  if (text.empty()) {
    return 0;
  }
  if (lastText_ != 0) {
    const std::size_t at = lastText_ - 1;
    if (std::string_view(texts_).substr(at + 2, TextLengthAt(texts_, at)) == text) {
      return lastText_;
    }
  }
  if (text.size() > std::numeric_limits<std::uint16_t>::max() ||
      texts_.size() + 2 + text.size() >= std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  lastText_ = static_cast<std::uint32_t>(texts_.size() + 1);
  texts_.push_back(static_cast<char>(text.size() & 0xff));
  texts_.push_back(static_cast<char>(text.size() >> 8));
  texts_ += text;
  return lastText_;
}

void PackedPoints::Unpack(const Record& r, TrackPoint& p) const {
  p.isWaypoint = r.isWaypoint;
  p.isLap = r.isLap;
  p.isValid = r.isValid;
  p.utcTime = r.utcTime;
  p.localTime = r.utcTime + zoneOffset_;
  p.utcTimeOfDay = r.utcTimeOfDay;
  if (r.timeForm != kNoTimeText) {
    p.rmcTimeText = TimeText(r.utcTimeOfDay, r.timeForm, r.timeFraction);
  }
  if (r.ggaTimeIsRmcTime != 0) {
    p.ggaTimeText = p.rmcTimeText;
  }
  p.ggaMatchesRmc = r.ggaMatchesRmc;
  p.latitudeRef = kLatitudeRefs[r.letters & 3];
  p.latitude = r.latitude;
  p.longitudeRef = kLongitudeRefs[(r.letters >> 2) & 3];
  p.longitude = r.longitude;
  p.altitudeBelowSea = r.altitudeBelowSea;
  p.altitude = UnpackDecimal(r.altitudeDigits, r.altitudeScale);
  if (r.satelliteText != 0) {
    const std::size_t at = r.satelliteText - 1;
    p.satelliteText.assign(texts_, at + 2, TextLengthAt(texts_, at));
  }
  p.satellitesInView = r.satellitesInView;
  p.gsaMode = kGsaModes[(r.letters >> 4) & 3];
  p.fixTypeText = kFixTypes[r.fixType];
  p.dop = UnpackDecimal(r.dopDigits, r.dopScale);
  p.hdop = UnpackDecimal(r.hdopDigits, r.hdopScale);
  p.speedRef = kSpeedRefs[(r.letters >> 6) & 1];
  p.speed = r.speed;
  p.courseRef = kCourseRefs[(r.letters >> 7) & 1];
  p.course = UnpackDecimal(r.courseDigits, r.courseScale);
  p.dateStampText = DateStampText(p.localTime);
  p.differential = static_cast<std::int16_t>(r.differential);
  p.deviceValue = r.deviceValue;
  p.isInterpolated = r.isInterpolated;
}

TrackPoint PackedPoints::operator[](std::size_t index) const {
  const Record& record = records_[index];
  if (record.whole != 0) {
    const auto found =
        std::lower_bound(wholePoints_.begin(), wholePoints_.end(), index,
                         [](const WholePoint& whole, std::size_t i) { return whole.index < i; });
    return found->point;
  }
  TrackPoint point;
  Unpack(record, point);
  return point;
}

TimeValue PackedPoints::localTimeAt(std::size_t index) const {
  const Record& record = records_[index];
  if (record.whole != 0) {
    return (*this)[index].localTime;
  }
  return record.utcTime + zoneOffset_;
}

void PackedPoints::Clear() {
  records_.Clear();
  wholePoints_ = {};
  texts_ = {};
  lastText_ = 0;
  zoneOffset_ = 0;
}

std::size_t PackedPoints::memoryBytes() const {
  // A text's own bytes when they are not held in the string itself.
  const auto heapBytes = [](const std::string& text) {
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
  };
  std::size_t bytes =
      records_.memoryBytes() + heapBytes(texts_) + wholePoints_.capacity() * sizeof(WholePoint);
  for (const WholePoint& whole : wholePoints_) {
    const TrackPoint& p = whole.point;
    for (const std::string* text :
         {&p.rmcTimeText, &p.ggaTimeText, &p.latitudeRef, &p.longitudeRef, &p.satelliteText,
          &p.gsaMode, &p.fixTypeText, &p.speedRef, &p.courseRef, &p.dateStampText}) {
      bytes += heapBytes(*text);
    }
  }
  return bytes;
}

void PointWindow::assign(std::size_t count, const TrackPoint& value) {
  packed_.Clear();
  packed_.Reserve(count - std::min(count, firstIndex_));
  count_ = count;
  start_ = value;
  for (TrackPoint& slot : slots_) {
    slot = value;
  }
}

TrackPoint& PointWindow::operator[](std::size_t index) {
  if (index < packedEnd() || index >= count_) {
    std::abort();  // a reader going back further than the window: a fault of the reader
  }
  while (index >= packedEnd() + kSpan) {
    PackOne();
  }
  return slots_[index % kSpan];
}

void PointWindow::PackOne() {
  TrackPoint& slot = slots_[packedEnd() % kSpan];
  packed_.Append(slot);
  slot = start_;
}

void PointWindow::Finish() {
  while (packedEnd() < count_) {
    PackOne();
  }
}

void PointWindow::DropPacked() {
  firstIndex_ = packedEnd();
  packed_.Clear();
  packed_.Reserve(count_ - std::min(count_, firstIndex_));
}

PointWindow::OpenPoints PointWindow::openPoints() const {
  OpenPoints open{packedEnd(), {}};
  for (std::size_t index = packedEnd(); index < count_ && index < packedEnd() + kSpan; ++index) {
    open.points.push_back(slots_[index % kSpan]);
  }
  return open;
}

void PackedPoints::Append(PackedPoints&& tail) {
  if (records_.empty()) {
    *this = std::move(tail);
    tail.Clear();
    return;
  }
  const std::size_t indexShift = records_.size();
  const std::size_t textShift = texts_.size();
  // Records of another zone, or texts that would not fit together, are packed again.
  if (tail.zoneOffset_ != zoneOffset_ ||
      texts_.size() + tail.texts_.size() >= std::numeric_limits<std::uint32_t>::max()) {
    for (std::size_t i = 0; i < tail.size(); ++i) {
      Append(tail[i]);
    }
    tail.Clear();
    return;
  }
  for (std::size_t i = 0; i < tail.records_.size(); ++i) {
    Record& record = tail.records_[i];
    if (record.satelliteText != 0) {
      record.satelliteText += static_cast<std::uint32_t>(textShift);
    }
  }
  if (records_.size() % kJoinWithoutCopy == 0) {
    records_.Splice(std::move(tail.records_));
  } else {
    records_.Reserve(records_.size() + tail.records_.size());
    tail.records_.Drain([this](const Record& record) { records_.push_back(record); });
  }
  for (WholePoint& whole : tail.wholePoints_) {
    whole.index += indexShift;
    wholePoints_.push_back(std::move(whole));
  }
  texts_ += tail.texts_;
  if (tail.lastText_ != 0) {
    lastText_ = tail.lastText_ + static_cast<std::uint32_t>(textShift);
  }
  tail.Clear();
}

bool PackedPoints::operator==(const PackedPoints& other) const {
  if (size() != other.size()) {
    return false;
  }
  for (std::size_t i = 0; i < size(); ++i) {
    if (!((*this)[i] == other[i])) {
      return false;
    }
  }
  return true;
}

namespace {

// What AppendBytes writes before the records and texts.
struct BytesHeader {
  std::uint64_t recordCount;
  std::uint64_t textBytes;
  std::int64_t zoneOffset;
  std::uint32_t lastText;
  std::uint32_t recordBytes;  // another layout of the record gives other bytes
};

}  // namespace

bool PackedPoints::AppendBytes(std::string& bytes) const {
  if (!wholePoints_.empty()) {
    return false;
  }
  const BytesHeader header{records_.size(), texts_.size(), zoneOffset_, lastText_, sizeof(Record)};
  std::size_t at = bytes.size();
  bytes.resize(at + sizeof header + records_.size() * sizeof(Record) + texts_.size());
  std::memcpy(&bytes[at], &header, sizeof header);
  at += sizeof header;
  records_.ForEachRun([&](const Record* records, std::size_t count) {
    std::memcpy(&bytes[at], records, count * sizeof(Record));
    at += count * sizeof(Record);
  });
  std::memcpy(&bytes[at], texts_.data(), texts_.size());
  return true;
}

std::optional<PackedPoints> PackedPoints::FromBytes(std::string_view bytes) {
  BytesHeader header;
  if (bytes.size() < sizeof header) {
    return std::nullopt;
  }
  std::memcpy(&header, bytes.data(), sizeof header);
  bytes.remove_prefix(sizeof header);
  if (header.recordBytes != sizeof(Record) || header.recordCount > bytes.size() / sizeof(Record) ||
      header.textBytes != bytes.size() - header.recordCount * sizeof(Record) ||
      header.textBytes >= std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  constexpr TimeValue kMostZoneOffset = 2 * 86400;
  if (header.zoneOffset < -kMostZoneOffset || header.zoneOffset > kMostZoneOffset) {
    return std::nullopt;
  }
  PackedPoints points;
  points.zoneOffset_ = header.zoneOffset;
  points.texts_.assign(bytes.substr(header.recordCount * sizeof(Record)));
  points.lastText_ = header.lastText;
  if (!points.HoldsText(points.lastText_)) {
    return std::nullopt;
  }
  points.Reserve(header.recordCount);
  for (std::size_t i = 0; i < header.recordCount; ++i) {
    Record record;
    std::memcpy(&record, bytes.data() + i * sizeof(Record), sizeof(Record));
    if (!points.Readable(record)) {
      return std::nullopt;
    }
    points.records_.push_back(record);
  }
  return points;
}

std::uint64_t PackedPoints::LeastBytesFor(std::uint64_t count) {
  const std::uint64_t most =
      (std::numeric_limits<std::uint64_t>::max() - sizeof(BytesHeader)) / sizeof(Record);
  return count > most ? std::numeric_limits<std::uint64_t>::max()
                      : sizeof(BytesHeader) + count * sizeof(Record);
}

bool PackedPoints::HoldsText(std::uint32_t reference) const {
  if (reference == 0) {
    return true;
  }
  const std::size_t at = reference - 1;
  return at + 2 <= texts_.size() && at + 2 + TextLengthAt(texts_, at) <= texts_.size();
}

bool PackedPoints::Readable(const Record& r) const {
  // What the readers make: times within the calendar (so that differences of times never
  // overflow), packed coordinates of a place on the globe or none, a speed that can be real
  // (see DropImplausibleFix).
  constexpr TimeValue kCalendarStart = -62135596800;  // 0001-01-01 00:00:00
  constexpr TimeValue kCalendarEnd = 253402300799;    // 9999-12-31 23:59:59
  return r.whole == 0 && r.utcTime >= kCalendarStart && r.utcTime <= kCalendarEnd &&
         r.latitude >= 0 && r.latitude <= 9000 && r.longitude >= 0 && r.longitude <= 18000 &&
         r.speed >= 0 && r.speed <= kMostSpeedKmh && (r.letters & 3) < std::size(kLatitudeRefs) &&
         ((r.letters >> 2) & 3) < std::size(kLongitudeRefs) &&
         ((r.letters >> 4) & 3) < std::size(kGsaModes) && r.altitudeScale <= kMostAltitudeScale &&
         r.courseScale <= kMostAltitudeScale && r.dopScale <= kMostDopScale &&
         r.hdopScale <= kMostDopScale &&
         (r.timeForm <= kMostTimeFractionDigits || r.timeForm == kNoTimeText) &&
         r.utcTimeOfDay >= 0 && r.utcTimeOfDay <= 999999 && HoldsText(r.satelliteText);
}

}  // namespace trevalo
