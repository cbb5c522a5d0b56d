#pragma once
// The two passes over a logger log: the scan, which counts the point, lap and waypoint
// sentences and reads the log's start and end time, and the parse, which fills one
// TrackPoint per counted point sentence.

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_source.h"
#include "core/calendar_time.h"
#include "core/track_point.h"

namespace trevalo {

// Why a log has no times.
enum class ScanProblem {
  kNone,
  kUnreadable,       // the data could not be read
  kNoPointSentence,  // no RMC sentence with a time
  kTruncated,        // the first or last counted sentence is cut off by the end of the file
  kInvalidDateTime,  // a start or end date or time out of range
  kNoTimedPoint,     // (GPX) no track point or waypoint with a usable time
  kMalformed,        // (GPX) the document stops being well-formed before any timed point
};

struct ScanResult {
  std::uint32_t pointCount = 0;
  std::int32_t lapCount = 0;
  std::int32_t waypointCount = 0;
  std::uint32_t refusedCount = 0;  // point sentences not used for a wrong checksum
  bool hasTimes = false;
  TimeValue utcStart = 0;
  TimeValue localStart = 0;
  TimeValue localEnd = 0;
  ScanProblem problem = ScanProblem::kNone;
  std::uint64_t problemOffset = 0;  // where the offending sentence starts
  std::string problemDetail;        // what the reader found, when it says more than the kind
  bool operator==(const ScanResult&) const = default;
};

// Counts the sentences and reads the start and end time, shifted by `effectiveZone`.
// The start comes from the first counted sentence whose time and date fields are complete,
// the end from the last such sentence; only a log without any falls back to its first and
// last counted sentence (and so to the default time).
ScanResult ScanLog(ByteSource& source, int effectiveZone);

// What a receiver on or near the ground can report. 100 km is the edge of space, far above
// the 18 km beyond which civil receivers stop reporting at all; 30,000 km/h is about orbital
// speed, which nothing below that height reaches. No real fix comes near them, while 1e308,
// inf and nan, which a damaged or hostile log can hold, lie beyond. DOP fields are written
// with two digits before the point (99.99 means "no fix").
inline constexpr double kMostAltitudeMetres = 100'000;
inline constexpr double kMostSpeedKmh = 30'000;
inline constexpr double kMostDop = 100;

struct ParseResult {
  bool ok = true;  // false: a date or time out of range stopped the parse
  std::int32_t deviceValueCount = 0;
  std::uint64_t problemOffset = 0;  // where the offending sentence starts
  bool readFailed = false;
};

// Fills `points` (resized to `pointCount`, zeroed) from the data; the n-th point comes from
// the n-th counted point sentence. A point whose numbers cannot be measurements (a position
// off the globe or minutes of 60 or more, a value that is not finite, an altitude, speed,
// course, DOP or satellite count beyond the bounds above) keeps no position (both
// coordinates 0, which makes it unusable to every walk) and reads each such number as 0.
// `Points` is a std::vector<TrackPoint> or a PointWindow.
template <class Points>
ParseResult ParseLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     Points& points);

// Takes away what cannot be a measurement from a completed point (see ParseLog); every log
// format applies it to the points it reads.
void DropImplausibleFix(TrackPoint& point);

// A plain description of a scan problem, for messages.
std::string ScanProblemText(ScanProblem problem);

}  // namespace trevalo
