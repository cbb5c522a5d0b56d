#pragma once
// The points of logs as a comma-separated table.

#include <QString>

#include "export/text_line_writer.h"
#include "library/log_library.h"
#include "track/track_walk.h"

namespace trevalo {

// What a log's block in a points table needs besides the log.
struct LogTableFormat {
  QString header;         // the column names line, written as it is
  QString longLatFormat;  // the display format of latitudes and longitudes
  PositionCorrection correction;
};

// One log's block: its path, the header, one line per point (number, latitude, longitude,
// altitude, local time), an empty line. The log's points must be loaded.
void WriteLogTableBlock(TextLineWriter& writer, const GPSLog& log, const LogTableFormat& format);

}  // namespace trevalo
