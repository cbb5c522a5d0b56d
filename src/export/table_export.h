#pragma once
// The two comma-separated tables: the photo page's list, and the points of logs.

#include <QString>

#include "core/progress.h"
#include "core/track_walk.h"
#include "export/text_line_writer.h"
#include "library/log_library.h"
#include "tagging/photo_list.h"

namespace trevalo {

// The photo list as a table at `path`: the header text as it is, then per row its number
// (from 1) and its file name, date, latitude, longitude, altitude, path and log. Returns
// the empty text on success, else why the file could not be written.
QString WritePhotoTable(const QString& path, const QString& header,
                        const std::vector<PhotoRow>& rows, const Progress& progress = {});

// What a log's block in a points table needs besides the log.
struct LogTableFormat {
  QString header;         // the column names line, written as it is
  QString longLatFormat;  // the display format of latitudes and longitudes
  PositionCorrection correction;
};

// One log's block: its path, the header, one line per point (number, latitude, longitude,
// altitude, local time), an empty line. The log's points must be loaded.
void WriteLogTableBlock(CTextLineWriter& writer, const GPSLog& log, const LogTableFormat& format);

}  // namespace trevalo
