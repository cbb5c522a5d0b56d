#include "tagging/photo_kml.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>

#include "export/input_guard.h"
#include "export/kml_document.h"
#include "export/kml_writer.h"
#include "export/kmz_archive.h"
#include "files/atomic_file.h"
#include "files/file_identity.h"
#include "files/file_names.h"
#include "files/native_files.h"
#include "photo/embedded_preview.h"
#include "track/track_walk.h"

namespace trevalo {
namespace {

// Puts each saved photo into the document and the package.
class PlacemarkSink : public SavedPhotoSink {
 public:
  PlacemarkSink(KmlWriter& writer, KmzArchive* archive, const PhotoKmlOptions& options,
                PositionCorrection correction, QStringList& problems)
      : writer_(writer),
        archive_(archive),
        options_(options),
        correction_(correction),
        problems_(problems) {}

  void PhotoSaved(const PhotoRow& row, const TrackPoint& point, const QString& written,
                  int pixelWidth) override {
    int width = options_.imageWidth < 10 ? pixelWidth : options_.imageWidth;
    width = std::min(width, 800);
    if (!row.jpeg) {
      // The position went into a sidecar: the placemark shows the picture the photo carries
      // of itself, never the sidecar's text.
      ShowPreview(row, width, BuildPosition(point, correction_));
      return;
    }
    // A JPEG whose position went into a sidecar is shown by the photo itself, as in place.
    const QString& image = options_.sidecars.For(row) ? row.path : written;
    // Photos saved in place may share a file name; the package needs distinct entries.
    QString entryName = QFileInfo(image).fileName();
    if (archive_ != nullptr) {
      entryName = archive_->FreeEntryName(entryName);
    }
    if (archive_ != nullptr && (options_.mode == SaveMode::kInPlace || image == row.path)) {
      entryName = CopyBesideDocument(image, entryName);
    }
    const Coordinate position = BuildPosition(point, correction_);
    if (options_.urlPrefix.isEmpty()) {
      writer_.WritePhotoPlacemark(entryName, width, position);
    } else {
      writer_.WritePhotoPlacemarkWithPrefix(options_.urlPrefix, entryName, width, position);
    }
    if (archive_ != nullptr) {
      if (const QString problem = archive_->AddFile(image, entryName);
          !problem.isEmpty() && !problems_.contains(problem)) {
        problems_ << problem;  // once: an archive that could not be created says so each time
      }
    }
  }

 private:
  // A RAW, HEIF or other photo of its own kind: its largest JPEG preview goes beside the
  // document (under a name nothing there has) and into the package; without one the
  // placemark has no picture.
  void ShowPreview(const PhotoRow& row, int width, const Coordinate& position) {
    const std::optional<EmbeddedPreview> preview = LargestJpegPreview(row.path);
    QString entryName;
    if (preview) {
      entryName = QFileInfo(row.path).fileName() + QStringLiteral(".jpg");
      const QDir folder(options_.saveFolder);
      while (PathExists(folder.filePath(entryName)) ||
             (archive_ != nullptr && archive_->FreeEntryName(entryName) != entryName)) {
        entryName.prepend(u'_');
      }
      const QString beside = folder.filePath(entryName);
      const auto bytes =
          std::span(reinterpret_cast<const std::uint8_t*>(preview->bytes.constData()),
                    static_cast<std::size_t>(preview->bytes.size()));
      if (const QString problem = WriteFileAtomically(beside, bytes, false); !problem.isEmpty()) {
        problems_ << problem;
      }
      if (archive_ != nullptr) {
        if (const QString problem = archive_->AddBytes(preview->bytes, entryName, row.path);
            !problem.isEmpty() && !problems_.contains(problem)) {
          problems_ << problem;
        }
      }
      width = std::min(width, preview->width);
    }
    writer_.WritePhotoPlacemarkShowing(row.path, entryName, options_.urlPrefix, width, position);
  }

  // The document beside the package finds its images by name in its own folder: a photo
  // tagged in place is copied there under its entry name, which is made free both in the
  // package and in the folder, so that no file already there is replaced. Returns the name.
  QString CopyBesideDocument(const QString& photo, QString entryName) {
    const QDir folder(options_.saveFolder);
    while (PathExists(folder.filePath(entryName)) && !SameFile(folder.filePath(entryName), photo)) {
      entryName = archive_->FreeEntryName(u'_' + entryName);
    }
    if (const QString copy = folder.filePath(entryName); !SameFile(copy, photo)) {
      if (const QString problem = CopyFileAtomically(photo, copy, false); !problem.isEmpty()) {
        problems_ << problem;
      }
    }
    return entryName;
  }

  KmlWriter& writer_;
  KmzArchive* archive_;
  const PhotoKmlOptions& options_;
  PositionCorrection correction_;
  QStringList& problems_;
};

}  // namespace

QString PhotoKmlPath(const QString& saveFolder, const QString& kmlName) {
  return QDir(saveFolder).filePath(CleanFileName(kmlName) + QStringLiteral(".KML"));
}

PhotoKmlReport SavePhotosWithKml(PhotoList& photos, LogLibrary& library,
                                 const MatchSettings& settings, const PhotoKmlOptions& options,
                                 const SaveProgress& progress) {
  PhotoKmlReport report;
  const QString safeName = CleanFileName(options.kmlName);
  report.kmlPath = PhotoKmlPath(options.saveFolder, options.kmlName);
  if (options.kml && options.kmz) {
    report.kmzPath = QDir(options.saveFolder).filePath(safeName + QStringLiteral(".KMZ"));
  }
  if (options.kml) {
    // A photo or a log named like the document or the package is not written over.
    QStringList photoPaths;
    for (const PhotoRow& row : photos.rows()) {
      photoPaths << row.path;
    }
    const InputFiles inputs(library, photoPaths);
    for (const QString& output : {report.kmlPath, report.kmzPath}) {
      if (const QString problem = output.isEmpty() ? QString() : inputs.ReplacedBy(output);
          !problem.isEmpty()) {
        report.problems << problem;
      }
    }
    if (!report.problems.isEmpty()) {
      return report;
    }
  }
  // Files the user had are changed only when what they held is kept first.
  std::unique_ptr<ChangeJournal> journal;
  const bool changesUserFiles =
      std::any_of(photos.rows().begin(), photos.rows().end(), [&options](const PhotoRow& row) {
        return (row.matched || row.placed) &&
               (options.mode == SaveMode::kInPlace || options.sidecars.For(row));
      });
  if (!options.journalsFolder.isEmpty() && changesUserFiles) {
    QString problem;
    journal = ChangeJournal::Begin(options.journalsFolder, options.journalDescription, problem);
    if (!journal) {
      report.problems << problem;
      return report;
    }
  }
  std::unique_ptr<KmzArchive> archive;
  if (!report.kmzPath.isEmpty()) {
    archive = std::make_unique<KmzArchive>(report.kmzPath);
  }
  const PositionCorrection correction{settings.latitudeCorrection(),
                                      settings.longitudeCorrection()};
  const KmlSource source{library, correction, report.problems};
  KmlWriter writer(report.kmlPath, options.kml);
  WriteKmlOpening(writer, options.kmlName, source);
  writer.BeginPhotoFolder(options.photoFolderName);
  library.ClearActiveLogs();

  PlacemarkSink sink(writer, archive.get(), options, correction, report.problems);
  report.save = SaveTaggedPhotos(photos, library, settings, options.mode, options.saveFolder,
                                 progress, &sink, options.sidecars, journal.get());
  if (journal) {
    journal->Finish();
    // A run that changed nothing leaves no journal.
    report.journal = PathExists(journal->folder()) ? journal->folder() : QString();
  }

  writer.EndFolder();
  WriteKmlRoute(writer, options.trackFolderName, source);
  if (const QString problem = writer.Close(); !problem.isEmpty()) {
    report.problems << problem;
    return report;  // a package without its document is not put in place
  }
  if (archive) {
    QString problem = archive->AddFile(report.kmlPath, safeName + QStringLiteral(".KML"));
    if (problem.isEmpty()) {
      problem = archive->Close();
    }
    if (!problem.isEmpty() && !report.problems.contains(problem)) {
      report.problems << problem;
    }
  }
  return report;
}

}  // namespace trevalo
