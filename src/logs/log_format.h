#pragma once
// The formats a log of the library can be written in, one reader each. Every reader makes
// the same two passes over its file: the scan, which counts the points, laps and waypoints
// and finds the start and end time without keeping any point, and the parse, which fills
// exactly the counted points in the same order. A further format is one more reader and
// one more line in LogFormatFor.
//
// The reader is chosen by what the file holds, not by its name: a logger's log renamed
// "*.gpx" stays an NMEA log, and a GPX track keeps being read whatever it is called.

#include <cstdint>
#include <vector>

#include <QString>

#include "files/byte_source.h"
#include "track/log_reading.h"
#include "track/packed_points.h"
#include "track/track_point.h"

namespace trevalo {

class LogFormat {
 public:
  virtual ~LogFormat() = default;
  virtual ScanResult Scan(ByteSource& source, int effectiveZone) const = 0;
  // Fills `points` (`pointCount` of them): the n-th point is the n-th point the scan
  // counted.
  virtual ParseResult Parse(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                            PackedPoints& points) const = 0;
  // Both passes for a log wanted whole at once: the scan's result, and the points unless
  // the file cannot be read. A format whose parse can count as it goes reads the file once.
  virtual ScanResult ScanAndParse(ByteSource& source, int effectiveZone, PackedPoints& points,
                                  ParseResult& parsed) const;
};

// The reader of NMEA 0183 logs (the logger's own and any receiver's).
const LogFormat& NmeaLogFormat();
// The reader of GPX 1.0 and 1.1 files.
const LogFormat& GpxLogFormat();

// The reader for the data: an XML document (its first bytes, after a byte order mark and
// white space, are "<?xml" or "<gpx") is GPX, everything else NMEA.
const LogFormat& LogFormatFor(ByteSource& source);

// The file's name says GPX ("*.gpx", any case): for choosing files, never for reading them.
bool IsGpxFileName(const QString& filePath);

}  // namespace trevalo
