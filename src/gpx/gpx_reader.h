#pragma once
// GPX 1.0 and 1.1 files as logs.
//
// Each <trkpt> with a usable <time> is a point; <ele> is its altitude, and <fix>, <sat>,
// <hdop>, <pdop>, <speed> and <course> fill what they name. A point without a time cannot
// be matched against photos and is passed over. Each <wpt> with a time is a point of its
// own, marked as a waypoint, placed before the first track point that is later than it.
// The first point of every track segment after the first one is marked as a lap, so that
// the segments of a track show as its parts wherever the laps of a logger log do.
//
// GPX times are UTC ("Z", or an offset that is taken away); like the times of NMEA logs
// they are shifted by the log's zone to give the local times. A document type declaration
// ends the reading (GPX has none; it is where entity tricks hide); so does the first error
// of the XML, keeping the points before it, as a log cut off by the end of its file keeps
// the sentences before the cut.

#include <cstdint>
#include <optional>
#include <vector>

#include <QStringView>

#include "files/byte_source.h"
#include "track/calendar_time.h"
#include "track/log_reading.h"
#include "track/packed_points.h"
#include "track/track_point.h"

namespace trevalo {

// An xsd:dateTime as UTC: YYYY-MM-DDThh:mm:ss with an optional fraction (ignored, like
// the fraction of NMEA times), then "Z", an offset (+hh:mm, -hhmm) or nothing; nullopt for
// anything else or a date or time out of range.
std::optional<TimeValue> ParseGpxTime(QStringView text);

ScanResult ScanGpx(ByteSource& source, int effectiveZone);

ParseResult ParseGpx(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                     PackedPoints& points);

// The scan and the parse in one reading: what ScanGpx returns, with every point ParseGpx
// would fill (`parsed` says whether the reading failed).
ScanResult ReadGpxLog(ByteSource& source, int effectiveZone, PackedPoints& points,
                      ParseResult& parsed);

}  // namespace trevalo
