#pragma once
// KML documents of the logs selected in the library (its activeLogs), built in the fixed
// outline: header, line styles, lap folders, waypoint folders, [photo folder,] route folder
// with one track line and one summary per log, footer.

#include <QString>
#include <QStringList>

#include "export/kml_writer.h"
#include "library/log_library.h"
#include "track/track_walk.h"

namespace trevalo {

// What the composers need besides the writer: the library whose selection they walk, the
// position correction, and a list that collects logs whose points could not be loaded.
struct KmlSource {
  LogLibrary& library;
  PositionCorrection correction;
  QStringList& problems;
};

// "0517.log", or "0517.log(rain)" when the log has a comment.
QString TrackName(const GPSLog& log);

// One line style per selected log; the style id is the log's colour index.
void WriteKmlLineStyles(KmlWriter& writer, const KmlSource& source);
// The LapPoints folder: per log, its lap marks (Start, Lap-2, ..., End).
void WriteKmlLaps(KmlWriter& writer, const KmlSource& source);
// The WayPoints folder: per log, its waypoints (W-1, W-2, ...).
void WriteKmlWaypoints(KmlWriter& writer, const KmlSource& source);
// Per log, its track line and its "Info:" summary; empties the selection.
void WriteKmlTracks(KmlWriter& writer, const KmlSource& source);

// The outline up to the photo folder: header, styles, laps, waypoints.
void WriteKmlOpening(KmlWriter& writer, const QString& documentName, const KmlSource& source);
// The route folder with the tracks, and the footer.
void WriteKmlRoute(KmlWriter& writer, const QString& trackFolderName, const KmlSource& source);

// A whole document of the selected logs at `path`. Returns the empty text on success, else
// why it could not be written.
QString WriteLogsKml(const QString& path, const QString& documentName,
                     const QString& trackFolderName, const KmlSource& source);

}  // namespace trevalo
