#include "export/kml_document.h"

#include "shell/palette.h"
#include "track/calendar_time.h"

namespace trevalo {
namespace {

// Calls visit(log, points) for each selected log in order, its points loaded. Without a
// file to write (a save without a document), the logs are loaded all the same, and their
// problems told, but their points are not walked for nothing.
template <typename Visit>
void ForEachSelectedLog(const KmlWriter& writer, const KmlSource& source, Visit&& visit) {
  for (const std::size_t index : source.library.activeLogs()) {
    source.library.LoadHeld(index, source.problems);
    if (writer.hasFile()) {
      GPSLog& log = source.library.log(index);
      visit(log, log.points());
    }
  }
}

}  // namespace

QString TrackName(const GPSLog& log) {
  return log.comment().isEmpty() ? log.fileName() : log.fileName() + u'(' + log.comment() + u')';
}

void WriteKmlLineStyles(KmlWriter& writer, const KmlSource& source) {
  for (const std::size_t index : source.library.activeLogs()) {
    const GPSLog& log = source.library.log(index);
    writer.WriteLineStyle(log.colorIndex(), ColorForIndex(log.colorIndex()),
                          LineWidthForIndex(log.lineWidthIndex()));
  }
}

void WriteKmlLaps(KmlWriter& writer, const KmlSource& source) {
  writer.BeginLapFolder();
  ForEachSelectedLog(writer, source, [&](const GPSLog& log, const PackedPoints& points) {
    if (points.empty()) {
      return;
    }
    writer.BeginLapSubFolder(log.fileName());
    WalkLaps(
        points, log.lapCount(), source.correction, WaypointRule::kOrdinaryPoints,
        [&](const LapMark& mark) {
          const QString time = UsTimeText(mark.point->localTime);
          switch (mark.kind) {
            case LapMark::Kind::kStart:
              writer.WriteLapStart(mark.position, time);
              break;
            case LapMark::Kind::kMiddle:
              writer.WriteLap(mark.number, mark.position, time, mark.lap);
              break;
            case LapMark::Kind::kFinal:
              writer.WriteLapEnd(mark.position, time, mark.lap, mark.total);
              break;
          }
        },
        [](const WaypointMark&) {});
    writer.EndSubFolder();
  });
  writer.EndFolder();
}

void WriteKmlWaypoints(KmlWriter& writer, const KmlSource& source) {
  writer.BeginWaypointFolder();
  ForEachSelectedLog(writer, source, [&](const GPSLog& log, const PackedPoints& points) {
    if (points.empty()) {
      return;
    }
    writer.BeginWaypointSubFolder(log.fileName());
    int number = 0;
    for (const TrackPoint& point : points) {
      if (IsUsable(point) && point.isWaypoint) {
        writer.WriteWaypoint(++number, BuildPosition(point, source.correction), point.speed,
                             UsTimeText(point.localTime));
      }
    }
    writer.EndSubFolder();
  });
  writer.EndFolder();
}

void WriteKmlTracks(KmlWriter& writer, const KmlSource& source) {
  ForEachSelectedLog(writer, source, [&](const GPSLog& log, const PackedPoints& points) {
    writer.BeginTrackLine(TrackName(log), log.colorIndex());
    const TrackSummary track = SummarizeTrack(
        points, source.correction,
        [&](const TrackPoint&, const Coordinate& position) { writer.AddTrackPoint(position); });
    writer.EndTrackLine();
    if (!track.usable) {
      return;  // no usable point: nothing to summarise, and no place to put a summary
    }
    const std::int64_t elapsed = track.elapsed();
    writer.WriteRouteSummary(QStringLiteral("Info:") + log.fileName(), UsTimeText(track.firstTime),
                             UsTimeText(track.lastTime), DurationText(elapsed),
                             DistanceText(track.distance),
                             SpeedText(track.distance, SpeedSeconds(elapsed)), track.lastPosition);
  });
  source.library.ClearActiveLogs();
}

void WriteKmlOpening(KmlWriter& writer, const QString& documentName, const KmlSource& source) {
  writer.WriteHeader(documentName);
  WriteKmlLineStyles(writer, source);
  WriteKmlLaps(writer, source);
  WriteKmlWaypoints(writer, source);
}

void WriteKmlRoute(KmlWriter& writer, const QString& trackFolderName, const KmlSource& source) {
  writer.BeginRouteFolder(trackFolderName);
  WriteKmlTracks(writer, source);
  writer.WriteFooter();
}

QString WriteLogsKml(const QString& path, const QString& documentName,
                     const QString& trackFolderName, const KmlSource& source) {
  KmlWriter writer(path, true);
  WriteKmlOpening(writer, documentName, source);
  WriteKmlRoute(writer, trackFolderName, source);
  return writer.Close();
}

}  // namespace trevalo
