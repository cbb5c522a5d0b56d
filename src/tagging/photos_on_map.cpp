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
  std::vector<const PhotoRow*> located;
  std::vector<QString> paths;
  for (const std::size_t row : rows) {
    if (row < photos.size() && photos.rows()[row].matched) {
      located.push_back(&photos.rows()[row]);
      paths.push_back(photos.rows()[row].path);
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
  for (std::size_t k = 0; k < located.size(); ++k) {
    const MatchResult& match = matches[k];
    if (!match.logIndex) {
      continue;  // the photo can no longer be read
    }
    const Coordinate position = BuildPosition(match.point, correction);
    if (!centred) {
      centred = true;
      request.latitude = position.latitudeDegrees;
      request.longitude = position.longitudeDegrees;
      request.photoPath = located[k]->path;
    }
    writer.WritePhotoMarker(position.latitudeDegrees, position.longitudeDegrees, located[k]->path);
  }
  if (showTracks) {
    DrawLogsOnMap(writer, library, correction, timeFormat, request.problems);
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
