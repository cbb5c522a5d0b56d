#pragma once
// What every log format's reader gives: the scan's counts, times and problem, the parse's
// result, and the one rule for fixes that cannot be measurements, which every format,
// document, map file, table and statistic follows.

#include <cstdint>
#include <string>

#include "track/calendar_time.h"
#include "track/track_point.h"

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

// Takes away what cannot be a measurement from a completed point (see ParseLog); every log
// format applies it to the points it reads.
void DropImplausibleFix(TrackPoint& point);

// A plain description of a scan problem, for messages.
std::string ScanProblemText(ScanProblem problem);

}  // namespace trevalo
