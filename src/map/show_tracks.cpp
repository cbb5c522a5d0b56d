#include "map/show_tracks.h"

#include "shell/palette.h"
#include "track/calendar_time.h"

namespace trevalo {

std::optional<Coordinate> DrawLogsOnMap(MarkerWriter& writer, LogLibrary& library,
                                        PositionCorrection correction, const QString& timeFormat,
                                        QStringList& problems) {
  std::optional<Coordinate> last;
  for (const std::size_t index : library.activeLogs()) {
    library.LoadHeld(index, problems);
    const GPSLog& log = library.log(index);
    writer.BeginLine(RgbForIndex(log.colorIndex()), std::abs(log.lineWidthIndex() - 5));
    const TrackSummary track = SummarizeTrack(
        log.points(), correction,
        [&](const TrackPoint& point, const Coordinate&) { writer.WriteLinePoint(point); });
    const std::int64_t elapsed = track.elapsed();
    const auto timeText = [&](TimeValue time) {
      return track.usable ? FormatTime(time, timeFormat) : QString();
    };
    writer.WriteLineInfo(timeText(track.firstTime), timeText(track.lastTime),
                         DistanceText(track.distance), DurationText(elapsed),
                         SpeedText(track.distance, SpeedSeconds(elapsed)));
    writer.EndLine();
    const LapWalkResult walk = WalkLaps(
        log.points(), log.lapCount(), correction, WaypointRule::kMarkedApart,
        [&](const LapMark& mark) {
          const QString time = FormatTime(mark.point->localTime, timeFormat);
          switch (mark.kind) {
            case LapMark::Kind::kStart:
              writer.WriteStartLap(mark.number, mark.position, time);
              break;
            case LapMark::Kind::kMiddle:
              writer.WriteMiddleLap(mark.number, mark.position, time, mark.lap);
              break;
            case LapMark::Kind::kFinal:
              writer.WriteFinalLap(mark.number, mark.position, time, mark.lap, mark.total);
              break;
          }
        },
        [&](const WaypointMark& mark) {
          writer.WriteWaypointMarker(mark.number, mark.position,
                                     FormatTime(mark.point->localTime, timeFormat));
        });
    if (walk.built) {
      last = walk.lastPosition;
    } else if (track.usable) {
      last = track.lastPosition;
    }
  }
  return last;
}

QStringList ActiveLogFiles(const LogLibrary& library) {
  QStringList files;
  for (const std::size_t index : library.activeLogs()) {
    files << library.log(index).filePath();
  }
  return files;
}

std::optional<TrackPoint> DrawnLinePoint(LogLibrary& library, const QString& logFile,
                                         std::size_t index) {
  QStringList problems;
  const std::optional<std::size_t> log = library.Find(logFile);
  if (!log || !library.LoadHeld(*log, problems)) {
    return std::nullopt;
  }
  std::size_t usable = 0;
  for (const TrackPoint& point : library.log(*log).points()) {
    if (IsUsable(point) && usable++ == index) {
      return point;
    }
  }
  return std::nullopt;
}

MapRequest ShowLogsOnMap(LogLibrary& library, const std::vector<std::size_t>& rows,
                         const QString& folder, PositionCorrection correction) {
  MapRequest request;
  library.ClearActiveLogs();
  for (const std::size_t row : rows) {
    library.AddActiveLog(row);
  }
  if (library.activeLogs().empty()) {
    return request;
  }
  MarkerWriter writer(folder, MarkerFile::kTracks);
  writer.WriteMarkersStart();
  const std::optional<Coordinate> centre =
      DrawLogsOnMap(writer, library, correction, UsTimeFormat(), request.problems);
  request.lineLogs = ActiveLogFiles(library);
  writer.WriteMarkersEnd();
  if (const QString problem = writer.Close(); !problem.isEmpty()) {
    request.problems << problem;
  }
  library.ClearActiveLogs();
  // The page reads the file; a long log's points would only wait for the next lookup.
  library.HoldLog(std::nullopt);
  request.show = true;
  request.file = MarkerFile::kTracks;
  if (centre) {
    request.latitude = centre->latitudeDegrees;
    request.longitude = centre->longitudeDegrees;
  }
  return request;
}

}  // namespace trevalo
