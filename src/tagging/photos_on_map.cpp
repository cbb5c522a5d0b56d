#include "tagging/photos_on_map.h"

#include "library/photo_lookup.h"

namespace trevalo {

MapRequest ShowPhotosOnMap(LogLibrary& library, const PhotoList& photos,
                           const std::vector<std::size_t>& rows, const MatchSettings& settings,
                           bool showTracks, const QString& timeFormat, const QString& folder,
                           const Progress& progress) {
  MapRequest request;
  const PositionCorrection correction{settings.latitudeCorrection(),
                                      settings.longitudeCorrection()};
  // The rows shown, in their order; those matched to a log are looked up again, those kept
  // at the positions their photos carry are shown there.
  std::vector<const PhotoRow*> located;
  std::vector<QString> paths;
  for (const std::size_t index : rows) {
    if (index >= photos.size()) {
      continue;
    }
    const PhotoRow& row = photos.rows()[index];
    if (row.matched || row.kept || row.placed) {
      located.push_back(&row);
      if (row.matched) {
        paths.push_back(row.path);
      }
    }
  }
  if (located.empty()) {
    return request;
  }
  library.ClearActiveLogs();
  // Fresh lookups, as the library may have changed since the rows were matched; the tracks
  // then follow the logs in the order the rows first use them.
  const std::vector<MatchResult> matches =
      MatchPhotosInTimeOrder(library, paths, settings, progress);
  request.file = showTracks ? MarkerFile::kPhotosAndTracks : MarkerFile::kPhotos;
  MarkerWriter writer(folder, request.file);
  writer.WriteMarkersStart();
  bool centred = false;
  std::size_t next = 0;  // the next of the lookups
  for (const PhotoRow* row : located) {
    std::optional<ShownPosition> at;
    if (row->matched) {
      const MatchResult& match = matches[next++];
      if (!match.logIndex) {
        continue;  // the photo can no longer be read
      }
      const Coordinate position = BuildPosition(match.point, correction);
      at = ShownPosition{position.latitudeDegrees, position.longitudeDegrees};
    } else {
      at = PositionOf(*row, correction);
    }
    const double latitude = at->latitude;
    const double longitude = at->longitude;
    if (!centred) {
      centred = true;
      request.latitude = latitude;
      request.longitude = longitude;
      request.photoPath = row->path;
    }
    writer.WritePhotoMarker(latitude, longitude, row->path, row->placed.has_value());
  }
  if (showTracks) {
    DrawLogsOnMap(writer, library, correction, timeFormat, request.problems);
    request.lineLogs = ActiveLogFiles(library);
    library.ClearActiveLogs();
  }
  writer.WriteMarkersEnd();
  if (const QString problem = writer.Close(); !problem.isEmpty()) {
    request.problems << problem;
  }
  // The page reads the file; a long log's points would only wait for the next lookup.
  library.HoldLog(std::nullopt);
  request.show = true;
  return request;
}

}  // namespace trevalo
