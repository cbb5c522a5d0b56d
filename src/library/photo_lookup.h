#pragma once
// Finds, for a photo's capture time, the log of the library and the track point at which
// it was taken, and formats the point's position for display.

#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "library/log_library.h"
#include "library/match_settings.h"
#include "photo/capture_time.h"
#include "photo/photo_metadata.h"
#include "track/progress.h"
#include "track/track_interpolation.h"
#include "track/track_point.h"

namespace trevalo {

// A position a photo carries itself, signed degrees.
struct OwnPosition {
  double latitude = 0;
  double longitude = 0;
};
// The position of `gps` when it holds one.
std::optional<OwnPosition> OwnPositionOf(const ExistingGps& gps);

struct MatchResult {
  bool matched = false;
  std::optional<std::size_t> logIndex;  // the log the point was taken from, when any
  std::size_t pointIndex = 0;           // the nearest point
  // With interpolation: the two fixes the photo was placed between (point is then that
  // position, with the nearest point's other values).
  std::optional<FixesAround> between;
  TrackPoint point;          // the current point (empty when no log was used)
  TimeValue photoTime = 0;   // capture time with the camera correction, in the log's local time
  bool byPhotoZone = false;  // matched at the UTC instant of the zone the photo records
  QString dateProblem;       // the date check's message text (such as "00000000"), when it failed
  QString readProblem;       // why the photo could not be read, when it could not
  QString logProblem;        // why the points of the log it falls on cannot be used
};

// The lookup for a capture date-time text "YYYY:MM:DD HH:MM:SS". Its date is checked first
// (dateProblem), with or without logs. A log matches when the
// time lies within its local start and end widened by the tolerance; the first such log in
// library order is used. Without one, the nearest log is used, and the result is a match
// only with no limit (tolerance 99). The log used becomes the held log and an active log.
// With interpolation on, a time between two usable fixes at most the maximum gap apart
// gets the position between them; a time exactly at a fix gets that fix.
MatchResult MatchPhotoTime(LogLibrary& library, const std::string& dateTime,
                           const MatchSettings& settings, const CaptureDetail& detail = {});
// The same for a photo file, reading its capture time from its EXIF data.
MatchResult MatchPhoto(LogLibrary& library, const QString& photoPath,
                       const MatchSettings& settings);
// MatchPhoto for a photo already read: `photo` is what ReadPhotoMetadata gave for it.
MatchResult MatchReadPhoto(LogLibrary& library, const PhotoMetadata& photo,
                           const MatchSettings& settings);
// MatchPhoto for each of `paths`, with the results in their order. The photos are read on
// all cores (progress is told as each is read), then looked up in the order of their
// capture times, so that each log is loaded at most once however the paths are ordered;
// the library's active logs end as lookups in the order of the paths leave them.
std::vector<MatchResult> MatchPhotosInTimeOrder(LogLibrary& library,
                                                const std::vector<QString>& paths,
                                                const MatchSettings& settings,
                                                const Progress& progress = {});

// Position texts of a point with the display format (COMMON_LONGLATFORMAT), moved by the
// position correction when it is on.
QString LatitudeText(const TrackPoint& point, const MatchSettings& settings, const QString& format);
QString LongitudeText(const TrackPoint& point, const MatchSettings& settings,
                      const QString& format);
// The same for a packed value with its own reference letter (the table export's points).
QString CoordinateText(double packed, const std::string& reference, int correction, bool latitude,
                       const QString& format);
// The same for signed degrees (a position a photo carries itself).
QString DegreesText(double degrees, bool latitude, const QString& format);
// "%.1f m" of the signed altitude.
QString AltitudeText(const TrackPoint& point);

}  // namespace trevalo
