#pragma once
// The photo page's list of photos with their capture times and the positions matched
// from the log library.

#include <optional>
#include <vector>

#include <QHash>
#include <QString>
#include <QStringList>

#include "library/log_library.h"
#include "library/match_settings.h"
#include "library/photo_lookup.h"
#include "photo/photo_metadata.h"
#include "shell/language.h"
#include "track/placed_point.h"
#include "track/progress.h"
#include "track/track_walk.h"

namespace trevalo {

struct PhotoRow {
  QString path;
  QString identity;  // FileIdentity of the path: one row per photo file
  QString fileName;
  std::string exifDate;   // the capture date-time text as the photo holds it
  CaptureDetail capture;  // its fractions of a second and its clock's zone, when recorded
  // The position the photo already carries (a phone tags its own photos).
  std::optional<OwnPosition> ownPosition;
  bool jpeg = true;  // a JPEG; any other photo's position goes into a sidecar
  int pixelWidth = 0;
  TimeValue captureTime = 0;  // with the camera correction; 0 without a usable date
  QString dateText;           // captureTime in the display format; empty without a date
  bool matched = false;
  bool byPhotoZone = false;  // matched at the UTC instant of the photo's own zone
  // Left at its own position (the settings keep positions photos already have): not
  // matched, its position texts are its own.
  bool kept = false;
  std::size_t pointIndex = 0;          // the matched log's point nearest to it
  TrackPoint point;                    // the matched point
  std::optional<FixesAround> between;  // the fixes it was placed between, when interpolated
  // Placed by hand (a spot on the map, a command's --at): the row keeps this position through
  // every match until the user clears it, and `point` is its PlacedPoint.
  std::optional<PlacedPosition> placed;
  // Cleared by hand: no position, whatever the logs or the photo itself say, until placed.
  bool cleared = false;
  QString latitudeText, longitudeText, altitudeText;
  QString logFile;  // the matched log's path
  // Why the row is not matched, when something is wrong: the photo can no longer be read,
  // its capture date is impossible, or the points of the log it falls on cannot be read.
  QString problem;
};

// Where a row's photo is, in signed degrees: where it was placed by hand, the position it
// keeps of its own, or its matched point moved by the position correction; nullopt for a
// row without a position.
struct ShownPosition {
  double latitude = 0;
  double longitude = 0;
};
std::optional<ShownPosition> PositionOf(const PhotoRow& row, PositionCorrection correction);

// Why a photo without a capture time gets no position.
inline constexpr char kNoCaptureTime[] = "it has no capture time";

class PhotoList {
 public:
  enum class AddResult { kAdded, kAlreadyThere, kUnreadable };

  const std::vector<PhotoRow>& rows() const { return rows_; }
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }

  // Reads a photo and matches it; a photo already listed (by any path) or unreadable is
  // not added. `problem` receives why a photo could not be read.
  AddResult AddPhoto(const QString& path, LogLibrary& library, const MatchSettings& settings,
                     const DisplayFormats& formats, QString* problem = nullptr);
  // What became of one path given to AddPhotos.
  struct Added {
    AddResult result = AddResult::kUnreadable;
    std::size_t row = 0;  // kAdded, kAlreadyThere: the row of the photo file
    QString problem;      // kUnreadable: why
    PhotoProblem problemKind = PhotoProblem::kNone;
  };
  // AddPhoto for each path in turn, with the same results; the photos are read on all
  // cores first, then matched in the order of their capture times (see RematchAll).
  std::vector<Added> AddPhotos(const QStringList& paths, LogLibrary& library,
                               const MatchSettings& settings, const DisplayFormats& formats,
                               const Progress& progress = {});
  // Reads every photo again and matches it with the current settings. A photo that can no
  // longer be read is shown as not matched, with the reason, and the pass goes on. The
  // photos are matched in the order of their capture times, so that each log is loaded at
  // most once in the pass however the rows are ordered; the rows keep their order, and the
  // library's active logs are left as a pass in row order leaves them.
  void RematchAll(LogLibrary& library, const MatchSettings& settings, const DisplayFormats& formats,
                  const Progress& progress = {});
  // Ascending by the date text, compared as UTF-16 code units.
  void Sort();
  // The columns the list can be ordered by, in the photo page's order.
  enum class Order {
    kMatch,
    kFileName,
    kDateTaken,
    kLatitude,
    kLongitude,
    kAltitude,
    kPath,
    kLogFile
  };
  // Orders the rows by a column's own value, keeping the order of equal rows: the match,
  // the capture time, signed degrees and metres, or the text (numbers inside names by their
  // value, so IMG_9 comes before IMG_10). Rows without the value (no date, no position) come
  // last either way.
  void SortBy(Order order, bool descending);
  void Remove(std::size_t index);
  // Removes every row whose place in `remove` is true, in one pass; the others keep their
  // order. `remove` has a place for each row.
  void RemoveRows(const std::vector<bool>& remove);
  // The row of this photo file, by any path to it.
  std::optional<std::size_t> Find(const QString& path) const;
  // The row of the photo file of this FileIdentity.
  std::optional<std::size_t> FindIdentity(const QString& identity) const;
  // At least one row has a position to write: matched, or placed by hand.
  bool AnyToSave() const;

  // What the user gave a row by hand, which every match keeps: a place, a clearing, or
  // neither (the row is matched as the logs say).
  struct HandPosition {
    std::optional<PlacedPosition> placed;
    bool cleared = false;
    bool operator==(const HandPosition&) const = default;
  };
  static HandPosition HandPositionOf(const PhotoRow& row) { return {row.placed, row.cleared}; }
  // Gives each row its hand position and matches the rows again.
  void SetHandPositions(const std::vector<std::pair<std::size_t, HandPosition>>& changes,
                        LogLibrary& library, const MatchSettings& settings,
                        const DisplayFormats& formats);

 private:
  // Matches the row; the log the lookup used, when any.
  std::optional<std::size_t> Match(PhotoRow& row, LogLibrary& library,
                                   const MatchSettings& settings,
                                   const DisplayFormats& formats) const;
  // Matches the rows at `indices` (in the order a pass over them takes) in the order of
  // their capture times, so that each log is loaded at most once however the rows are
  // ordered; the library's active logs end as the pass in the given order leaves them.
  void MatchInTimeOrder(const std::vector<std::size_t>& indices, LogLibrary& library,
                        const MatchSettings& settings, const DisplayFormats& formats);
  void SortRowsBy(Order order, bool descending);
  void IndexRows();

  std::vector<PhotoRow> rows_;
  // Each row's identity and its place, so that a photo given again (by any path) is known
  // without a walk over the rows: built again whenever rows move.
  QHash<QString, std::size_t> rowOfIdentity_;
};

}  // namespace trevalo
