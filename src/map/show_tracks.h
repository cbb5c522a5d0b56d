#pragma once
// What the map commands write before the map page opens: the log manager's command (the
// tracks of the logs selected there), and the drawing of logs and the request that the
// photo page's command (tagging/photos_on_map.h) shares.

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "library/log_library.h"
#include "map/marker_writer.h"
#include "track/track_walk.h"

namespace trevalo {

// Draws every log of the library's selection: its line with its summary, then its lap and
// waypoint markers. Returns the position built last (for the last log: its last lap mark,
// waypoint or run point, else its last usable point); nullopt when no log has a usable point.
std::optional<Coordinate> DrawLogsOnMap(MarkerWriter& writer, LogLibrary& library,
                                        PositionCorrection correction, const QString& timeFormat,
                                        QStringList& problems);

struct MapRequest {
  bool show = false;  // false: nothing was selected, the map stays as it is
  MarkerFile file = MarkerFile::kTracks;
  double latitude = 0;  // the centre
  double longitude = 0;
  QString photoPath;     // the photo the page opens on; empty for tracks
  QStringList problems;  // the marker file could not be written, logs unreadable
  QStringList lineLogs;  // the files of the logs of the lines drawn, in their order
};

// The files of the library's active logs, whose lines DrawLogsOnMap draws, in that order.
QStringList ActiveLogFiles(const LogLibrary& library);

// The point `index` of the line DrawLogsOnMap draws of the log of `logFile` (its usable
// points, in order); nullopt when the library no longer holds that log, it has fewer points
// now, or they cannot be read.
std::optional<TrackPoint> DrawnLinePoint(LogLibrary& library, const QString& logFile,
                                         std::size_t index);

// The log manager's command: the logs at `rows` into the tracks file in `folder`. No log
// keeps its points loaded afterwards.
MapRequest ShowLogsOnMap(LogLibrary& library, const std::vector<std::size_t>& rows,
                         const QString& folder, PositionCorrection correction);

}  // namespace trevalo
