#pragma once
// The two passes over an NMEA log: the scan, which counts the point, lap and waypoint
// sentences and reads the log's start and end time, and the parse, which fills one
// TrackPoint per counted point sentence.

#include <cstdint>
#include <string>
#include <vector>

#include "files/byte_source.h"
#include "track/calendar_time.h"
#include "track/log_reading.h"
#include "track/track_point.h"

namespace trevalo {

// Counts the sentences and reads the start and end time, shifted by `effectiveZone`.
// The start comes from the first counted sentence whose time and date fields are complete,
// the end from the last such sentence; only a log without any falls back to its first and
// last counted sentence (and so to the default time).
ScanResult ScanLog(ByteSource& source, int effectiveZone);

// Fills `points` (resized to `pointCount`, zeroed) from the data; the n-th point comes from
// the n-th counted point sentence. A point whose numbers cannot be measurements (a position
// off the globe or minutes of 60 or more, a value that is not finite, an altitude, speed,
// course, DOP or satellite count beyond the bounds above) keeps no position (both
// coordinates 0, which makes it unusable to every walk) and reads each such number as 0.
// `Points` is a std::vector<TrackPoint> or a PointWindow.
template <class Points>
ParseResult ParseLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     Points& points);

}  // namespace trevalo
