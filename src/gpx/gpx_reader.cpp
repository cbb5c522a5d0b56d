#include "gpx/gpx_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include <QByteArray>
#include <QXmlStreamReader>

#include "track/geodesy.h"
#include "track/placed_point.h"
#include "track/time_zone.h"

namespace trevalo {
namespace {

// Large blocks keep the reads few; the XML reader decodes them as they come.
constexpr std::size_t kBlockSize = 4 * 1024 * 1024;
// GPX nests five deep (gpx, trk, trkseg, trkpt, time) plus what extensions add; a document
// nested far deeper is no track, and the reader would keep every open element.
constexpr int kMostDepth = 64;
// No value of a point element is longer; a longer text is no value either.
constexpr qsizetype kMostValueText = 64;
// A read that takes every point of the file.
constexpr std::uint32_t kNoLimit = std::numeric_limits<std::uint32_t>::max();

enum class FixKind { kUnknown, kNone, k2d, k3d, kDgps, kPps };

// One <trkpt> or <wpt> as read.
struct GpxFix {
  bool waypoint = false;
  bool startsSegment = false;
  std::optional<TimeValue> utc;
  double latitude = std::numeric_limits<double>::quiet_NaN();
  double longitude = std::numeric_limits<double>::quiet_NaN();
  std::optional<double> elevation;
  FixKind fix = FixKind::kUnknown;
  int satellites = -1;
  std::optional<double> hdop;
  std::optional<double> pdop;
  std::optional<double> speed;  // metres per second
  std::optional<double> course;
};

enum class Field { kNone, kTime, kElevation, kFix, kSatellites, kHdop, kPdop, kSpeed, kCourse };

// Names are compared by length first: most elements of a track are not of interest.
Field FieldOf(QStringView name) {
  switch (name.size()) {
    case 3:
      return name == u"ele"   ? Field::kElevation
             : name == u"fix" ? Field::kFix
             : name == u"sat" ? Field::kSatellites
                              : Field::kNone;
    case 4:
      return name == u"time"   ? Field::kTime
             : name == u"hdop" ? Field::kHdop
             : name == u"pdop" ? Field::kPdop
                               : Field::kNone;
    case 5:
      return name == u"speed" ? Field::kSpeed : Field::kNone;
    case 6:
      return name == u"course" ? Field::kCourse : Field::kNone;
    default:
      return Field::kNone;
  }
}

// A decimal number (xsd:decimal or xsd:double, white space around it allowed); nullopt for
// anything else or a number beyond a double. Millions of them are read per file, so the text
// is converted here rather than through QString's locale-aware conversion.
std::optional<double> ReadNumber(QStringView text) {
  text = text.trimmed();
  // from_chars takes a minus sign but no plus sign.
  if (text.startsWith(u'+') && !text.startsWith(u"+-")) {
    text = text.sliced(1);
  }
  char ascii[kMostValueText];
  if (text.isEmpty() || text.size() > kMostValueText) {
    return std::nullopt;
  }
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c > 0x7f) {
      return std::nullopt;
    }
    ascii[i] = static_cast<char>(c);
  }
  double value = 0;
  const char* end = ascii + text.size();
  const auto [stop, error] = std::from_chars(ascii, end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Decimal digits at `at`, or -1.
int Digits(QStringView text, qsizetype at, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    const QChar c = text[at + i];
    if (c < u'0' || c > u'9') {
      return -1;
    }
    value = value * 10 + (c.unicode() - u'0');
  }
  return value;
}

}  // namespace

// See the header.
std::optional<TimeValue> ParseGpxTime(QStringView text) {
  text = text.trimmed();
  if (text.size() < 19 || text[4] != u'-' || text[7] != u'-' ||
      (text[10] != u'T' && text[10] != u't' && text[10] != u' ') || text[13] != u':' ||
      text[16] != u':') {
    return std::nullopt;
  }
  const int fields[] = {Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
                        Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2)};
  if (std::any_of(std::begin(fields), std::end(fields), [](int f) { return f < 0; })) {
    return std::nullopt;
  }
  qsizetype at = 19;
  if (at < text.size() && text[at] == u'.') {
    ++at;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
      ++at;
    }
  }
  int offset = 0;
  const QStringView zone = text.sliced(at);
  if (zone == u"Z" || zone == u"z") {
    offset = 0;
  } else if (!zone.isEmpty()) {
    const bool colon = zone.size() == 6 && zone[3] == u':';
    if ((zone[0] != u'+' && zone[0] != u'-') || (zone.size() != 5 && !colon)) {
      return std::nullopt;
    }
    const int hours = Digits(zone, 1, 2);
    const int minutes = Digits(zone, colon ? 4 : 3, 2);
    if (hours < 0 || minutes < 0 || hours > 14 || minutes >= 60) {
      return std::nullopt;
    }
    offset = (zone[0] == u'-' ? -1 : 1) * (hours * 100 + minutes);
  }
  // A leap second, 23:59:60 UTC (written in any zone), reads as the second before it.
  const bool leapSecond = fields[5] == 60;
  const std::optional<TimeValue> written =
      MakeTime(fields[0], fields[1], fields[2], fields[3], fields[4], leapSecond ? 59 : fields[5]);
  // The calendar moves 30 February on to March; a GPX time must name a real day.
  if (!written || BreakDown(*written)->day != fields[2]) {
    return std::nullopt;
  }
  const TimeValue utc = ShiftByZone(*written, -offset);
  if (leapSecond && !IsLastSecondOfDay(utc)) {
    return std::nullopt;
  }
  return utc;
}

namespace {

void ApplyField(Field field, QStringView text, GpxFix& fix) {
  switch (field) {
    case Field::kNone:
      return;
    case Field::kTime:
      fix.utc = ParseGpxTime(text);
      return;
    case Field::kElevation:
      fix.elevation = ReadNumber(text);
      return;
    case Field::kFix: {
      const QStringView kind = text.trimmed();
      fix.fix = kind == u"none"   ? FixKind::kNone
                : kind == u"2d"   ? FixKind::k2d
                : kind == u"3d"   ? FixKind::k3d
                : kind == u"dgps" ? FixKind::kDgps
                : kind == u"pps"  ? FixKind::kPps
                                  : FixKind::kUnknown;
      return;
    }
    case Field::kSatellites: {
      bool ok = false;
      const int count = text.trimmed().toInt(&ok);
      fix.satellites = ok && count >= 0 ? count : -1;
      return;
    }
    case Field::kHdop:
      fix.hdop = ReadNumber(text);
      return;
    case Field::kPdop:
      fix.pdop = ReadNumber(text);
      return;
    case Field::kSpeed:
      fix.speed = ReadNumber(text);
      return;
    case Field::kCourse:
      fix.course = ReadNumber(text);
      return;
  }
}

struct ReadStatus {
  bool readFailed = false;
  std::string problem;  // why the reading stopped before the end of the document
};

// What a pass needs of each point: the scan only its time, the parse everything.
enum class Detail { kTimes, kAll };

// Reads the document and calls onFix for every <trkpt> and <wpt> with a usable time, in
// file order.
template <Detail detail, typename OnFix>
ReadStatus ReadGpx(ByteSource& source, OnFix&& onFix) {
  ReadStatus status;
  QXmlStreamReader xml;
  const auto blockSize = static_cast<std::size_t>(
      std::min<std::uint64_t>(kBlockSize, std::max<std::uint64_t>(source.SizeHint(), 4096)));
  std::uint64_t offset = 0;
  bool sourceEnded = false;
  const auto feed = [&] {
    QByteArray block(static_cast<qsizetype>(blockSize), Qt::Uninitialized);
    const std::int64_t read = source.ReadAt(offset, block.data(), blockSize);
    if (read <= 0) {
      status.readFailed = read < 0;
      sourceEnded = true;
      return;
    }
    block.truncate(static_cast<qsizetype>(read));
    offset += static_cast<std::uint64_t>(read);
    xml.addData(block);
  };
  feed();

  int depth = 0;
  int pointDepth = 0;  // depth of the open <trkpt> or <wpt>; 0 outside one
  Field field = Field::kNone;
  QString text;
  GpxFix fix;
  bool trackPointTaken = false;
  bool segmentPending = false;
  for (;;) {
    switch (xml.readNext()) {
      case QXmlStreamReader::Invalid:
        if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && !sourceEnded) {
          feed();
          continue;
        }
        if (!status.readFailed) {
          status.problem = QStringLiteral("line %1: %2")
                               .arg(xml.lineNumber())
                               .arg(xml.errorString())
                               .toStdString();
        }
        return status;
      case QXmlStreamReader::DTD:
        status.problem = "a document type declaration";
        return status;
      case QXmlStreamReader::EndDocument:
        return status;
      case QXmlStreamReader::StartElement: {
        if (++depth > kMostDepth) {
          status.problem = "elements nested too deeply";
          return status;
        }
        const QStringView name = xml.name();
        if (depth == 1) {
          if (name != u"gpx") {
            status.problem = "the document is not GPX";
            return status;
          }
        } else if (pointDepth == 0) {
          if (name == u"trkpt" || (depth == 2 && name == u"wpt")) {
            fix = GpxFix{};
            fix.waypoint = name == u"wpt";
            if constexpr (detail == Detail::kAll) {
              const QXmlStreamAttributes attributes = xml.attributes();
              fix.latitude =
                  ReadNumber(attributes.value(QLatin1StringView("lat"))).value_or(fix.latitude);
              fix.longitude =
                  ReadNumber(attributes.value(QLatin1StringView("lon"))).value_or(fix.longitude);
            }
            pointDepth = depth;
          } else if (name == u"trkseg" || name == u"trk") {
            segmentPending = trackPointTaken;
          }
        } else if (depth == pointDepth + 1) {
          field = FieldOf(name);
          if (detail == Detail::kTimes && field != Field::kTime) {
            field = Field::kNone;
          }
          text.truncate(0);  // keeps its room for the next value
        }
        break;
      }
      case QXmlStreamReader::Characters:
        if (field != Field::kNone && depth == pointDepth + 1) {
          text.append(xml.text().left(kMostValueText + 1 - text.size()));
        }
        break;
      case QXmlStreamReader::EndElement:
        if (pointDepth != 0 && depth == pointDepth + 1 && field != Field::kNone) {
          if (text.size() <= kMostValueText) {
            ApplyField(field, text, fix);
          }
          field = Field::kNone;
        } else if (pointDepth != 0 && depth == pointDepth) {
          pointDepth = 0;
          if (fix.utc) {
            if (!fix.waypoint) {
              fix.startsSegment = segmentPending;
              segmentPending = false;
              trackPointTaken = true;
            }
            onFix(fix);
          }
        }
        --depth;
        break;
      default:
        break;
    }
  }
}

void FillPoint(const GpxFix& fix, int effectiveZone, TrackPoint& point) {
  point.isWaypoint = fix.waypoint ? 1 : 0;
  point.isLap = fix.startsSegment ? 1 : 0;
  point.utcTime = *fix.utc;
  point.localTime = ShiftByZone(point.utcTime, effectiveZone);
  point.dateStampText = DateStampText(point.localTime);
  if (const std::optional<CalendarFields> utc = BreakDown(point.utcTime)) {
    point.utcTimeOfDay = utc->hour * 10000 + utc->minute * 100 + utc->second;
    point.rmcTimeText.resize(6);
    for (int i = 5, value = point.utcTimeOfDay; i >= 0; --i, value /= 10) {
      point.rmcTimeText[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
  }
  const bool placed = std::fabs(fix.latitude) <= 90 && std::fabs(fix.longitude) <= 180;
  if (placed) {
    SetPackedDegrees(fix.latitude, point.latitude, point.latitudeRef, "NS");
    SetPackedDegrees(fix.longitude, point.longitude, point.longitudeRef, "EW");
  }
  point.isValid = placed && fix.fix != FixKind::kNone ? 1 : 0;
  if (fix.elevation) {
    // An altitude makes the fix as complete as an NMEA epoch with its GGA.
    point.ggaTimeText = point.rmcTimeText;
    point.ggaMatchesRmc = 1;
    point.altitudeBelowSea = *fix.elevation < 0 ? 1 : 0;
    point.altitude = std::fabs(*fix.elevation);
  }
  point.satellitesInView = std::max(fix.satellites, 0);
  const bool twoDimensional = fix.fix == FixKind::k2d;
  if (fix.fix != FixKind::kUnknown && fix.fix != FixKind::kNone) {
    point.fixTypeText = twoDimensional ? "2" : "3";
  }
  point.differential = fix.fix == FixKind::kDgps ? 1 : 0;
  point.hdop = fix.hdop.value_or(0);
  point.dop = twoDimensional || !fix.pdop ? point.hdop : *fix.pdop;
  point.speedRef = "K";
  point.speed = fix.speed.value_or(0) * 3.6;
  point.courseRef = "T";
  point.course = fix.course.value_or(0);
  DropImplausibleFix(point);
}

// GPX 1.1 has no speed: a track point without one gets the average speed of the leg that
// ends at it, so that speed charts and statistics work as on NMEA logs. Takes the points
// in their final order, one at a time. A leg too fast to be travelled drops the point it
// ends at, and only that point: the next leg is measured from the last point kept.
class MissingSpeeds {
 public:
  void Fill(TrackPoint& point, bool speedGiven) {
    if (point.latitude == 0 && point.longitude == 0) {
      return;
    }
    if (!speedGiven && previous_ && point.utcTime > previous_->utcTime) {
      Coordinate a(*previous_);
      Coordinate b(point);
      a.Convert(0, 0);
      b.Convert(0, 0);
      const double metres =
          Distance(a.latitudeDegrees, a.longitudeDegrees, b.latitudeDegrees, b.longitudeDegrees);
      point.speed = metres / static_cast<double>(point.utcTime - previous_->utcTime) * 3.6;
      DropImplausibleFix(point);
      if (point.latitude == 0 && point.longitude == 0) {
        return;  // the next leg starts at the last point that kept its position
      }
    }
    previous_ = point;
  }

 private:
  std::optional<TrackPoint> previous_;
};

// What the scan keeps of the points it passes: their counts and the times of the ends.
class GpxSpan {
 public:
  void Add(const GpxFix& fix) {
    const TimeValue t = *fix.utc;
    ++pointCount_;
    if (fix.waypoint) {
      ++waypointCount_;
      latestWaypoint_ = earliestWaypoint_ ? std::max(latestWaypoint_, t) : t;
      earliestWaypoint_ = earliestWaypoint_ ? std::min(*earliestWaypoint_, t) : t;
      return;
    }
    lapCount_ += fix.startsSegment ? 1 : 0;
    latestTrack_ = firstTrack_ ? std::max(latestTrack_, t) : t;
    firstTrack_ = firstTrack_.value_or(t);
    lastTrack_ = t;
  }

  ScanResult Result(const ReadStatus& status, int effectiveZone) const {
    ScanResult result;
    result.pointCount = pointCount_;
    result.lapCount = lapCount_;
    result.waypointCount = waypointCount_;
    if (status.readFailed) {
      result.problem = ScanProblem::kUnreadable;
      return result;
    }
    if (pointCount_ == 0) {
      result.problem =
          status.problem.empty() ? ScanProblem::kNoTimedPoint : ScanProblem::kMalformed;
      result.problemDetail = status.problem;
      return result;
    }
    // Where the waypoints fall among the track points (see ParseGpx): the earliest is first
    // when it is earlier than the first track point, the latest last when no track point is
    // later.
    TimeValue start = firstTrack_.value_or(*earliestWaypoint_);
    TimeValue end = firstTrack_ ? lastTrack_ : latestWaypoint_;
    if (earliestWaypoint_ && firstTrack_) {
      start = *earliestWaypoint_ < *firstTrack_ ? *earliestWaypoint_ : start;
      end = latestWaypoint_ >= latestTrack_ ? latestWaypoint_ : end;
    }
    result.utcStart = start;
    result.localStart = ShiftByZone(start, effectiveZone);
    result.localEnd = ShiftByZone(end, effectiveZone);
    result.hasTimes = true;
    return result;
  }

 private:
  std::uint32_t pointCount_ = 0;
  std::int32_t lapCount_ = 0;
  std::int32_t waypointCount_ = 0;
  std::optional<TimeValue> firstTrack_;
  TimeValue lastTrack_ = 0;
  TimeValue latestTrack_ = 0;
  std::optional<TimeValue> earliestWaypoint_;
  TimeValue latestWaypoint_ = 0;
};

// Reads the points, at most `limit` of them, in the order ParseGpx gives; `span`, when
// given, takes every point read.
ReadStatus ReadPoints(ByteSource& source, std::uint32_t limit, int effectiveZone,
                      PackedPoints& points, GpxSpan* span) {
  // Track points are packed as they come; the few waypoints are merged in afterwards, when
  // their places are known, and the speeds are filled in that final order.
  PackedPoints track;
  std::vector<bool> speedGiven;
  if (limit != kNoLimit) {
    track.Reserve(limit);
    speedGiven.reserve(limit);
  }
  std::vector<TrackPoint> waypoints;
  std::vector<bool> waypointSpeedGiven;
  std::uint32_t taken = 0;
  const ReadStatus status = ReadGpx<Detail::kAll>(source, [&](const GpxFix& fix) {
    if (taken == limit) {
      return;  // the file grew since the scan
    }
    ++taken;
    if (span != nullptr) {
      span->Add(fix);
    }
    TrackPoint point;
    FillPoint(fix, effectiveZone, point);
    if (fix.waypoint) {
      waypoints.push_back(std::move(point));
      waypointSpeedGiven.push_back(fix.speed.has_value());
    } else {
      track.Append(point);
      speedGiven.push_back(fix.speed.has_value());
    }
  });
  // Each waypoint goes before the first track point later than it; waypoints of the same
  // time keep their file order.
  std::vector<std::size_t> order(waypoints.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return waypoints[a].utcTime < waypoints[b].utcTime;
  });
  points.Clear();
  points.Reserve(track.size() + waypoints.size());
  MissingSpeeds speeds;
  std::size_t w = 0;
  const auto put = [&](TrackPoint& point, bool given) {
    speeds.Fill(point, given);
    points.Append(point);
  };
  for (std::size_t t = 0; t < track.size(); ++t) {
    TrackPoint point = track[t];
    while (w < order.size() && waypoints[order[w]].utcTime < point.utcTime) {
      put(waypoints[order[w]], waypointSpeedGiven[order[w]]);
      ++w;
    }
    put(point, speedGiven[t]);
  }
  for (; w < order.size(); ++w) {
    put(waypoints[order[w]], waypointSpeedGiven[order[w]]);
  }
  return status;
}

}  // namespace

ScanResult ScanGpx(ByteSource& source, int effectiveZone) {
  GpxSpan span;
  const ReadStatus status =
      ReadGpx<Detail::kTimes>(source, [&](const GpxFix& fix) { span.Add(fix); });
  return span.Result(status, effectiveZone);
}

ParseResult ParseGpx(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     PackedPoints& points) {
  ParseResult result;
  result.readFailed = ReadPoints(source, pointCount, effectiveZone, points, nullptr).readFailed;
  while (points.size() < pointCount) {
    points.Append(TrackPoint{});  // a file that lost points since the scan leaves the rest zeroed
  }
  return result;
}

ScanResult ReadGpxLog(ByteSource& source, int effectiveZone, PackedPoints& points,
                      ParseResult& parsed) {
  GpxSpan span;
  const ReadStatus status = ReadPoints(source, kNoLimit, effectiveZone, points, &span);
  parsed = ParseResult{};
  parsed.readFailed = status.readFailed;
  return span.Result(status, effectiveZone);
}

}  // namespace trevalo
