#pragma once
// Saving tagged photos: every matched photo of the list is written again with a GPS
// directory for its point, as a copy in a folder or in place of its own file, and leaves
// the list. A photo that fails stays in the list, untouched, and the failure is reported;
// so does one kept at the position it carries.

#include <functional>
#include <vector>

#include <QString>

#include "files/change_journal.h"
#include "library/log_library.h"
#include "library/match_settings.h"
#include "photo/xmp_sidecar.h"
#include "tagging/photo_list.h"
#include "track/progress.h"

namespace trevalo {

enum class SaveMode { kCopy, kInPlace };

// Which photos keep their position in an XMP sidecar beside them instead of in the file:
// always those that are not JPEG files (RAW, HEIF, ...), and JPEGs too on request. A photo
// written through a sidecar is never changed itself, whatever the save mode.
struct SidecarChoice {
  bool everyPhoto = false;
  SidecarNaming naming = SidecarNaming::kFullName;
  bool For(const PhotoRow& row) const { return everyPhoto || !row.jpeg; }
};

// Told of every photo that was written, for the KML document and the KMZ package that may
// go with the photos.
class SavedPhotoSink {
 public:
  virtual ~SavedPhotoSink() = default;
  // `written` is the tagged file (the photo itself when its position went into a sidecar),
  // `pixelWidth` the photo's width.
  virtual void PhotoSaved(const PhotoRow& row, const TrackPoint& point, const QString& written,
                          int pixelWidth) = 0;
};

struct SaveReport {
  struct Item {
    QString photo;
    QString written;            // the tagged file or the sidecar; empty when it failed
    QString problem;            // empty when it was written
    bool incompatible = false;  // the photo could not be read for rewriting (problem: why)
  };
  std::vector<Item> items;  // saved and failed photos, in list order
  int notMatched = 0;       // rows skipped because they have no position
  // Rows left untouched at the positions their photos carry (keepExistingPositions), in list
  // order; they stay in the list.
  QStringList kept;
};

// The copy's path: the folder and the file name, with "_" put in front of the name while a
// file of that name exists (IMG.JPG, _IMG.JPG, __IMG.JPG, ...).
QString WrittenPath(const QString& folder, const QString& fileName);

// What the user is told of a photo that could not be read for rewriting: "File has
// compatibility problem :", the photo's path on the next line, and the reason on its own.
QString CompatibilityMessage(const QString& photo, const QString& reason);

using SaveProgress = Progress;

// `journal`, when given, keeps each photo changed in place and each sidecar before it is
// written; a file it cannot keep is not changed, and fails with the reason.
SaveReport SaveTaggedPhotos(PhotoList& photos, LogLibrary& library, const MatchSettings& settings,
                            SaveMode mode, const QString& saveFolder,
                            const SaveProgress& progress = {}, SavedPhotoSink* sink = nullptr,
                            const SidecarChoice& sidecars = {}, ChangeJournal* journal = nullptr);

}  // namespace trevalo
