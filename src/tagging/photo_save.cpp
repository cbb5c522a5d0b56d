#include "tagging/photo_save.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <vector>

#include "files/native_files.h"
#include "library/photo_lookup.h"
#include "photo/exif_file.h"
#include "track/parallel_work.h"

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

namespace {

// What became of one matched row.
struct RowSave {
  MatchResult match;
  QString written;  // empty when it failed
  QString problem;
  bool incompatible = false;
  int pixelWidth = 0;
};

// The rows whose files could meet: the same file name, but for the "_" that WrittenPath puts
// in front and for case, which some file systems ignore. Such rows are written one after the
// other, in list order, so that each finds the names taken before it as a single pass would.
QString MeetingKey(const QString& fileName) {
  qsizetype underscores = 0;
  while (underscores < fileName.size() && fileName[underscores] == u'_') {
    ++underscores;
  }
  return fileName.mid(underscores).toCaseFolded();
}

// Keeps `path` in the journal (when there is one), makes the change, and records it.
QString ChangeKept(ChangeJournal* journal, const QString& path,
                   const std::function<QString()>& change) {
  if (journal != nullptr) {
    if (const QString problem = journal->Keep(path); !problem.isEmpty()) {
      return QStringLiteral("not changed, as what it holds could not be kept for undo: %1")
          .arg(problem);
    }
  }
  const QString problem = change();
  if (journal != nullptr) {
    journal->Changed(path);
  }
  return problem;
}

void SaveRow(const PhotoRow& row, const MatchSettings& settings, SaveMode mode,
             const QString& saveFolder, const SidecarChoice& sidecars, ChangeJournal* journal,
             RowSave& save) {
  if (sidecars.For(row)) {
    const QString sidecar = SidecarPath(row.path, sidecars.naming);
    save.problem = ChangeKept(journal, sidecar, [&] {
      return WriteSidecar(sidecar,
                          SidecarGpsOfPoint(save.match.point, settings.latitudeCorrection(),
                                            settings.longitudeCorrection()));
    });
    if (save.problem.isEmpty()) {
      save.written = sidecar;
      save.pixelWidth = row.pixelWidth;
    }
    return;
  }
  ExifFile photo(row.path, ExifFile::kRewrite);
  photo.SetPositionCorrection(settings.latitudeCorrection(), settings.longitudeCorrection());
  photo.SetPositionSource(save.match.point);
  if (!photo.ReadSections()) {
    save.problem = photo.errorText();
    save.incompatible = true;
    return;
  }
  const QString written =
      mode == SaveMode::kCopy ? WrittenPath(saveFolder, row.fileName) : row.path;
  // In place, the new file reaches the disk before it replaces the photo.
  save.problem = mode == SaveMode::kInPlace
                     ? ChangeKept(journal, written, [&] { return photo.WriteFile(written, true); })
                     : photo.WriteFile(written, false);
  if (save.problem.isEmpty()) {
    save.written = written;
    save.pixelWidth = photo.info().width;
  }
}

}  // namespace

SaveReport SaveTaggedPhotos(PhotoList& photos, LogLibrary& library, const MatchSettings& settings,
                            SaveMode mode, const QString& saveFolder, const SaveProgress& progress,
                            SavedPhotoSink* sink, const SidecarChoice& sidecars,
                            ChangeJournal* journal) {
  SaveReport report;
  const std::vector<PhotoRow>& rows = photos.rows();
  std::vector<std::size_t> matched;  // the rows to save (matched or placed), in list order
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].matched || rows[i].placed) {
      matched.push_back(i);
    } else if (rows[i].kept) {
      report.kept << rows[i].path;
    } else {
      ++report.notMatched;
    }
  }
  // A matched row's point comes from a fresh lookup, as the library may have changed since;
  // the active logs end as a pass in list order leaves them (the document's tracks follow
  // them). A placed row is written where it was placed.
  std::vector<RowSave> saves(matched.size());
  {
    std::vector<QString> paths;
    std::vector<std::size_t> looked;  // the places in `saves` of the lookups
    for (std::size_t k = 0; k < matched.size(); ++k) {
      const PhotoRow& row = rows[matched[k]];
      if (row.placed) {
        saves[k].match.matched = true;
        saves[k].match.point = row.point;
      } else {
        paths.push_back(row.path);
        looked.push_back(k);
      }
    }
    std::vector<MatchResult> results = MatchPhotosInTimeOrder(library, paths, settings);
    for (std::size_t j = 0; j < looked.size(); ++j) {
      saves[looked[j]].match = std::move(results[j]);
    }
  }
  // The rows that are written, in groups whose files could meet.
  std::vector<std::vector<std::size_t>> groups;
  QHash<QString, std::size_t> groupOfKey;
  for (std::size_t k = 0; k < matched.size(); ++k) {
    RowSave& save = saves[k];
    if (!save.match.matched) {
      save.problem = !save.match.readProblem.isEmpty()  ? save.match.readProblem
                     : !save.match.logProblem.isEmpty() ? save.match.logProblem
                                                        : QStringLiteral("no longer matches a log");
      continue;
    }
    const PhotoRow& row = rows[matched[k]];
    const QString key =
        MeetingKey(sidecars.For(row) ? QFileInfo(SidecarPath(row.path, sidecars.naming)).fileName()
                                     : row.fileName);
    auto group = groupOfKey.constFind(key);
    if (group == groupOfKey.cend()) {
      group = groupOfKey.insert(key, groups.size());
      groups.emplace_back();
    }
    groups[*group].push_back(k);
  }
  const std::size_t total = rows.size();
  std::size_t done = 0;
  ForEachInParallel(
      groups.size(),
      [&](std::size_t g) {
        for (const std::size_t k : groups[g]) {
          SaveRow(rows[matched[k]], settings, mode, saveFolder, sidecars, journal, saves[k]);
        }
      },
      [&](std::size_t g) {
        for (const std::size_t k : groups[g]) {
          if (progress && !saves[k].written.isEmpty()) {
            progress(done++, total, saves[k].written);
          }
        }
      });
  // The report, the sink and the list in list order, as the writes would have come one by one.
  std::vector<bool> saved(rows.size(), false);
  for (std::size_t k = 0; k < matched.size(); ++k) {
    const PhotoRow& row = rows[matched[k]];
    const RowSave& save = saves[k];
    report.items.push_back({row.path, save.written, save.problem, save.incompatible});
    if (save.written.isEmpty()) {
      continue;
    }
    if (sink != nullptr) {
      sink->PhotoSaved(row, save.match.point, save.written, save.pixelWidth);
    }
    saved[matched[k]] = true;
  }
  photos.RemoveRows(saved);
  return report;
}

}  // namespace trevalo
