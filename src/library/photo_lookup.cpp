#include "library/photo_lookup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

#include "photo/capture_time.h"
#include "photo/photo_metadata.h"
#include "shell/display_format.h"
#include "track/c_numbers.h"
#include "track/geodesy.h"
#include "track/parallel_work.h"
#include "track/track_interpolation.h"
#include "track/track_walk.h"

namespace trevalo {
namespace {

int Digits(const std::string& text, std::size_t at, std::size_t count) {
  return ReadInt(std::string_view(text).substr(at, count));
}

// When the photo was taken in a log's local time: whole seconds, and to the millisecond when
// the photo's time has fractions (its own sub-seconds, or a drifting correction).
struct PhotoMoment {
  TimeValue seconds = 0;
  std::int64_t millis = 0;
  bool fine = false;  // the fractions count: the nearest fix and interpolation use them
};

// The position between the two fixes around the photo's time, when both have a position
// and they lie close enough in time that the receiver's path between them is plausibly
// straight; false leaves the nearest fix in place.
bool PlaceBetweenFixes(GPSLog& log, const PhotoMoment& at, const MatchSettings& settings,
                       MatchResult& result) {
  const std::optional<FixesAround> around =
      at.fine ? log.FixesAroundMillis(at.millis) : log.FixesAroundTime(at.seconds);
  const PackedPoints& points = log.points();
  if (!around) {
    return false;
  }
  const TrackPoint before = points[around->before];
  const TrackPoint after = points[around->after];
  if (!IsUsable(before) || !IsUsable(after) ||
      after.localTime - before.localTime > settings.maxGapSeconds) {
    return false;
  }
  result.between = around;
  if (at.fine) {
    const std::int64_t from = LocalMillisAt(points, around->before);
    const double share = static_cast<double>(at.millis - from) /
                         static_cast<double>(LocalMillisAt(points, around->after) - from);
    result.point = InterpolatedPointAt(before, after, points[result.pointIndex], share, at.seconds);
  } else {
    result.point = InterpolatedPoint(before, after, points[result.pointIndex], at.seconds);
  }
  return true;
}

// Makes a log the one the lookup used. False when its points cannot be loaded: a log
// whose start and end read well may still hold an impossible time in between, and its
// photos must not be placed at an empty position.
bool Use(LogLibrary& library, std::size_t index, const PhotoMoment& at,
         const MatchSettings& settings, MatchResult& result) {
  library.HoldLog(index);
  library.AddActiveLog(index);
  GPSLog& log = library.log(index);
  result.logIndex = index;
  result.photoTime = at.seconds;
  if (!log.LoadPoints() || log.points().empty()) {
    result.logProblem =
        QStringLiteral("the points of %1 cannot be read: %2")
            .arg(log.filePath(),
                 log.loadProblem().isEmpty() ? QStringLiteral("it holds none") : log.loadProblem());
    return false;
  }
  result.pointIndex =
      at.fine ? log.NearestPointIndexMillis(at.millis) : log.NearestPointIndex(at.seconds);
  result.point = log.points()[result.pointIndex];
  if (settings.interpolate && PlaceBetweenFixes(log, at, settings, result)) {
    return true;
  }
  if (!IsUsable(result.point)) {
    // A fix without a position (the receiver had none yet, or wrote numbers that cannot
    // be one): the photo must not be put at 0, 0.
    result.logProblem = QStringLiteral(
                            "the point of %1 nearest to its time (point %2) has no "
                            "position")
                            .arg(log.filePath())
                            .arg(result.pointIndex);
    return false;
  }
  return true;
}

// Unsigned degrees as degrees, minutes and seconds in the display format.
QString FormatDegrees(const QString& format, const QString& letter, double x) {
  const int degrees = static_cast<int>(std::trunc(x));
  const double m = (x - degrees) * 60;
  const int minutes = static_cast<int>(std::trunc(m));
  return FormatLongLat(format, letter, degrees, minutes, (m - minutes) * 60);
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

}  // namespace

std::optional<OwnPosition> OwnPositionOf(const ExistingGps& gps) {
  if (!gps.latitudeDegrees || !gps.longitudeDegrees) {
    return std::nullopt;
  }
  return OwnPosition{*gps.latitudeDegrees, *gps.longitudeDegrees};
}

MatchResult MatchPhotoTime(LogLibrary& library, const std::string& dateTime,
                           const MatchSettings& settings, const CaptureDetail& detail) {
  MatchResult result;
  // The date is checked even without logs: a photo is told why it can never match.
  if (dateTime.size() < 19) {
    return result;
  }
  const int year = Digits(dateTime, 0, 4);
  const int month = Digits(dateTime, 5, 2);
  const int day = Digits(dateTime, 8, 2);
  if (year < 1970 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31) {
    result.dateProblem = QString::fromStdString(dateTime.substr(0, 4) + dateTime.substr(5, 2) +
                                                dateTime.substr(8, 2));
    return result;
  }
  const std::optional<TimeValue> time = MakeTime(year, month, day, Digits(dateTime, 11, 2),
                                                 Digits(dateTime, 14, 2), Digits(dateTime, 17, 2));
  if (!time) {
    result.dateProblem = QString::fromStdString(dateTime.substr(0, 19));
    return result;
  }
  if (library.empty()) {
    return result;
  }
  // The camera's clock to the millisecond, corrected; a photo that says nothing more (no
  // fractions, no drift) stays in whole seconds, matched exactly as it always was.
  const std::int64_t corrected = *time * 1000 + detail.millis.value_or(0) +
                                 std::llround(settings.CameraCorrectionAt(*time) * 1000);
  const bool fine =
      detail.millis.has_value() || (settings.cameraCorrection && settings.cameraDrift);
  // A photo that records its clock's zone is placed at its UTC instant in each log's own
  // local time; any other, at its clock's time in every log.
  result.byPhotoZone = settings.usePhotoZone && detail.offsetSeconds.has_value();
  const auto momentIn = [&](const GPSLog& log) {
    const std::int64_t millis = result.byPhotoZone
                                    ? corrected - std::int64_t{*detail.offsetSeconds} * 1000 +
                                          (log.localStart() - log.utcStart()) * 1000
                                    : corrected;
    return PhotoMoment{FloorDiv(millis, 1000), millis, fine};
  };
  result.photoTime = momentIn(library.log(0)).seconds;
  const TimeValue tolerance = settings.ToleranceSeconds();
  std::optional<std::size_t> nearest;
  TimeValue nearestDistance = 0;
  for (std::size_t i = 0; i < library.size(); ++i) {
    const GPSLog& log = library.log(i);
    const TimeValue photoTime = momentIn(log).seconds;
    const TimeValue afterStart = photoTime - log.localStart();
    const TimeValue beforeEnd = log.localEnd() - photoTime;
    if (afterStart >= -tolerance && beforeEnd >= -tolerance) {
      result.matched = Use(library, i, momentIn(log), settings, result);
      return result;
    }
    const TimeValue distance = std::llabs(afterStart) < std::llabs(beforeEnd)
                                   ? std::llabs(afterStart)
                                   : std::llabs(beforeEnd);
    if (!nearest || distance < nearestDistance) {
      nearest = i;
      nearestDistance = distance;
    }
  }
  result.matched = Use(library, *nearest, momentIn(library.log(*nearest)), settings, result) &&
                   settings.tolerance == 99;
  return result;
}

MatchResult MatchPhoto(LogLibrary& library, const QString& photoPath,
                       const MatchSettings& settings) {
  if (library.empty()) {
    return {};
  }
  return MatchReadPhoto(library, ReadPhotoMetadata(photoPath), settings);
}

MatchResult MatchReadPhoto(LogLibrary& library, const PhotoMetadata& photo,
                           const MatchSettings& settings) {
  if (library.empty()) {
    return {};
  }
  if (!photo.read) {
    MatchResult result;
    result.readProblem = photo.problem.isEmpty() ? QStringLiteral("cannot be read") : photo.problem;
    return result;
  }
  return MatchPhotoTime(library, photo.info.dateTime, settings, CaptureDetailOf(photo.info));
}

std::vector<MatchResult> MatchPhotosInTimeOrder(LogLibrary& library,
                                                const std::vector<QString>& paths,
                                                const MatchSettings& settings,
                                                const Progress& progress) {
  std::vector<MatchResult> results(paths.size());
  if (library.empty()) {
    return results;  // nothing to look up: the photos need not be read
  }
  std::vector<PhotoMetadata> photos(paths.size());
  ForEachInParallel(
      paths.size(), [&](std::size_t i) { photos[i] = ReadPhotoMetadata(paths[i]); },
      [&](std::size_t i) {
        if (progress) {
          progress(i, paths.size(), paths[i]);
        }
      });
  // EXIF dates ("YYYY:MM:DD hh:mm:ss") order as the times they name; the camera correction
  // moves them all alike.
  std::vector<std::size_t> byTime(paths.size());
  std::iota(byTime.begin(), byTime.end(), std::size_t{0});
  std::stable_sort(byTime.begin(), byTime.end(), [&](std::size_t a, std::size_t b) {
    return photos[a].info.dateTime < photos[b].info.dateTime;
  });
  std::vector<std::size_t> active = library.activeLogs();
  for (const std::size_t i : byTime) {
    results[i] = MatchReadPhoto(library, photos[i], settings);
  }
  // Later work (a photo document's tracks, the map's) takes the active logs in the order
  // the lookups first used them: the order of the paths, as it always was.
  for (const MatchResult& result : results) {
    if (result.logIndex) {
      active.push_back(*result.logIndex);
    }
  }
  library.SetActiveLogs(active);
  return results;
}

QString CoordinateText(double packed, const std::string& reference, int correction, bool latitude,
                       const QString& format) {
  QString letter = QString::fromStdString(reference);
  int degrees;
  int minutes;
  double seconds;
  if (correction == 0) {
    const double whole = std::trunc(packed);
    degrees = static_cast<int>(std::trunc(packed / 100));
    minutes = static_cast<int>(std::fmod(whole, 100));
    seconds = (packed - whole) * 60;
  } else {
    double x = PackedToDegrees(packed);
    if (!reference.empty() && reference[0] == (latitude ? 'S' : 'W')) {
      x = -x;
    }
    x += correction / 100.0 / 3600.0;
    if (x > 0) {
      letter = latitude ? QStringLiteral("N") : QStringLiteral("E");
    } else if (x < 0) {
      letter = latitude ? QStringLiteral("S") : QStringLiteral("W");
    }
    return FormatDegrees(format, letter, std::fabs(x));
  }
  return FormatLongLat(format, letter, degrees, minutes, seconds);
}

QString DegreesText(double degrees, bool latitude, const QString& format) {
  const QString letter = degrees >= 0 ? (latitude ? QStringLiteral("N") : QStringLiteral("E"))
                                      : (latitude ? QStringLiteral("S") : QStringLiteral("W"));
  return FormatDegrees(format, letter, std::fabs(degrees));
}

QString LatitudeText(const TrackPoint& point, const MatchSettings& settings,
                     const QString& format) {
  return CoordinateText(point.latitude, point.latitudeRef,
                        point.CorrectionOf(settings.latitudeCorrection()), true, format);
}

QString LongitudeText(const TrackPoint& point, const MatchSettings& settings,
                      const QString& format) {
  return CoordinateText(point.longitude, point.longitudeRef,
                        point.CorrectionOf(settings.longitudeCorrection()), false, format);
}

QString AltitudeText(const TrackPoint& point) {
  return QString::asprintf("%.1f m", point.SignedAltitude());
}

}  // namespace trevalo
