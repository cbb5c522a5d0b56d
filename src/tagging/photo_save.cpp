#include "tagging/photo_save.h"

#include <QDir>

#include "core/native_files.h"
#include "library/photo_lookup.h"
#include "photo/exif_file.h"

namespace trevalo {

QString WrittenPath(const QString& folder, const QString& fileName) {
  QString name = fileName;
  QString path = QDir(folder).filePath(name);
  while (PathExists(path)) {
    name.prepend(u'_');
    path = QDir(folder).filePath(name);
  }
  return path;
}

QString CompatibilityMessage(const QString& photo, const QString& reason) {
  QString text = QStringLiteral("File has compatibility problem :\n") + photo;
  if (!reason.isEmpty()) {
    text += u'\n' + reason;
  }
  return text;
}

SaveReport SaveTaggedPhotos(PhotoList& photos, LogLibrary& library, const MatchSettings& settings,
                            SaveMode mode, const QString& saveFolder, const SaveProgress& progress,
                            SavedPhotoSink* sink, const SidecarChoice& sidecars) {
  SaveReport report;
  const std::size_t total = photos.size();
  std::size_t done = 0;
  std::size_t index = 0;
  while (index < photos.size()) {
    const PhotoRow row = photos.rows()[index];
    if (!row.matched) {
      ++report.notMatched;
      ++index;
      continue;
    }
    const auto fail = [&](const QString& problem, bool incompatible = false) {
      report.items.push_back({row.path, QString(), problem, incompatible});
      ++index;
    };
    // The point comes from a fresh lookup, as the library may have changed since.
    const MatchResult match = MatchPhoto(library, row.path, settings);
    if (!match.matched) {
      fail(!match.readProblem.isEmpty()  ? match.readProblem
           : !match.logProblem.isEmpty() ? match.logProblem
                                         : QStringLiteral("no longer matches a log"));
      continue;
    }
    if (sidecars.For(row)) {
      const QString sidecar = SidecarPath(row.path, sidecars.naming);
      if (progress) {
        progress(done, total, sidecar);
      }
      if (const QString problem =
              WriteSidecar(sidecar, SidecarGpsOfPoint(match.point, settings.latitudeCorrection(),
                                                      settings.longitudeCorrection()));
          !problem.isEmpty()) {
        fail(problem);
        continue;
      }
      ++done;
      if (sink != nullptr) {
        sink->PhotoSaved(row, match.point, row.path, row.pixelWidth);
      }
      report.items.push_back({row.path, sidecar, QString(), false});
      photos.Remove(index);
      continue;
    }
    ExifFile photo(row.path, ExifFile::kRewrite);
    photo.SetPositionCorrection(settings.latitudeCorrection(), settings.longitudeCorrection());
    photo.SetPositionSource(match.point);
    if (!photo.ReadSections()) {
      fail(photo.errorText(), true);
      continue;
    }
    const QString written =
        mode == SaveMode::kCopy ? WrittenPath(saveFolder, row.fileName) : row.path;
    if (progress) {
      progress(done, total, mode == SaveMode::kCopy ? written : row.path);
    }
    // In place, the new file reaches the disk before it replaces the photo.
    if (const QString problem = photo.WriteFile(written, mode == SaveMode::kInPlace);
        !problem.isEmpty()) {
      fail(problem);
      continue;
    }
    ++done;
    if (sink != nullptr) {
      sink->PhotoSaved(row, match.point, written, photo.info().width);
    }
    report.items.push_back({row.path, written, QString(), false});
    photos.Remove(index);  // the next row moves into this place
  }
  return report;
}

}  // namespace trevalo
