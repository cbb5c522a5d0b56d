#pragma once
// One log file of the library: the metadata the user attaches to it, the counts and times
// read by the scan when the object is created, and, on demand, its track points.
//
// The file is opened for each pass and closed after it, so a library of thousands of logs
// holds no file handles.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "files/byte_source.h"
#include "files/file_identity.h"
#include "logs/points_cache.h"
#include "track/calendar_time.h"
#include "track/log_reading.h"
#include "track/packed_points.h"
#include "track/time_index.h"
#include "track/time_zone.h"
#include "track/track_point.h"

namespace trevalo {

class GPSLog {
 public:
  // Stores the metadata and scans the file. A file that cannot be read, or holds no usable
  // time, leaves hasTimes() false; scanProblem() says why. With a cache of loaded logs, the
  // scan and the points come from it while it holds them for the file as it is, and a
  // successful load of a long log is kept there.
  GPSLog(QString filePath, int colorIndex, int lineWidthIndex, QString comment, int timeZone,
         int summerTime, std::shared_ptr<const PointsCache> pointsCache = nullptr);

  // For a log whose points are wanted at once: the scan and the points come from one
  // reading of the file where its format allows. pointsLoaded() and loadProblem() say how
  // the reading went, as after LoadPoints().
  struct ReadAtOnce {};
  GPSLog(QString filePath, int timeZone, int summerTime, ReadAtOnce,
         std::shared_ptr<const PointsCache> pointsCache = nullptr);

  GPSLog(const GPSLog&) = delete;
  GPSLog& operator=(const GPSLog&) = delete;
  GPSLog(GPSLog&&) = default;
  GPSLog& operator=(GPSLog&&) = default;

  // Counts the sentences and reads the start and end time; runs once per object.
  void Scan();
  // Builds the points unless they are present; true when they are present afterwards.
  // A date or time out of range abandons the parse: no points, and loadProblem() says where.
  bool LoadPoints();
  void ReleasePoints();
  // Index of the point whose local time is closest to `localTime` (the earlier in the file
  // on a tie); 0 when the log has no points. Loads the points first.
  std::size_t NearestPointIndex(TimeValue localTime);
  // The fixes around `localTime` (see TimeIndex::Around); none without points.
  std::optional<FixesAround> FixesAroundTime(TimeValue localTime);
  // The same to the millisecond, the points' times with the fractions their time fields
  // write (TimeIndex::NearestMillis).
  std::size_t NearestPointIndexMillis(std::int64_t localMillis);
  std::optional<FixesAround> FixesAroundMillis(std::int64_t localMillis);

  // Local start and end with a display format; empty when they cannot be formatted.
  QString StartTimeText(const QString& timeFormat) const;
  QString EndTimeText(const QString& timeFormat) const;

  bool hasTimes() const { return scan_.hasTimes; }
  TimeValue utcStart() const { return scan_.utcStart; }
  TimeValue localStart() const { return scan_.localStart; }
  TimeValue localEnd() const { return scan_.localEnd; }
  // The end in UTC: logs of different zones are compared by these.
  TimeValue utcEnd() const { return scan_.localEnd - (scan_.localStart - scan_.utcStart); }
  std::uint32_t pointCount() const { return scan_.pointCount; }
  std::int32_t lapCount() const { return scan_.lapCount; }
  std::int32_t waypointCount() const { return scan_.waypointCount; }
  // Point sentences the scan did not count for a wrong checksum.
  std::uint32_t refusedCount() const { return scan_.refusedCount; }
  std::int32_t deviceValueCount() const { return deviceValueCount_; }
  bool scanned() const { return scanned_; }
  // The file could be opened and read (it may still hold no usable time).
  bool fileReadable() const { return scan_.problem != ScanProblem::kUnreadable; }
  // The file as it was when the scan began.
  const FileStamp& fileStamp() const { return fileStamp_; }

  const QString& filePath() const { return filePath_; }
  const QString& fileName() const { return fileName_; }
  int colorIndex() const { return colorIndex_; }
  int lineWidthIndex() const { return lineWidthIndex_; }
  const QString& comment() const { return comment_; }
  int timeZone() const { return timeZone_; }
  int summerTime() const { return summerTime_; }
  int effectiveZone() const { return EffectiveZone(timeZone_, summerTime_); }
  void setColorIndex(int index) { colorIndex_ = index; }
  void setLineWidthIndex(int index) { lineWidthIndex_ = index; }
  void setComment(QString comment) { comment_ = std::move(comment); }
  void setTimeZone(int zone) { timeZone_ = zone; }

  bool pointsLoaded() const { return pointsLoaded_; }
  // How many times the points were loaded, from the file or the cache (each load after a
  // release counts).
  std::uint32_t timesLoaded() const { return timesLoaded_; }
  // Exactly pointCount() points once loaded; empty otherwise.
  const PackedPoints& points() const { return points_; }

  // Why the log has no times, or why the last load failed: empty when there is no problem.
  QString scanProblem() const;
  // What kind of problem the scan met (kNone when it found the times).
  ScanProblem scanProblemKind() const { return scan_.problem; }
  QString loadProblem() const { return loadProblem_; }

 private:
  GPSLog(QString filePath, int colorIndex, int lineWidthIndex, QString comment, int timeZone,
         int summerTime, std::shared_ptr<const PointsCache> pointsCache, bool scan);
  // Marks the log scanned as of the file's present stamp and opens the file; null (and the
  // scan says why) when it cannot be opened.
  std::unique_ptr<FileByteSource> OpenForScan();
  // Takes the outcome of a parse of `file` into the points or the load problem.
  void FinishLoad(const ParseResult& parsed, const FileByteSource& file);
  // The points just put in points_, read from the file or the cache, are the log's.
  void PointsReady(std::int32_t deviceValueCount);
  // The scan and points from the cache, while it holds them for the file as scanned.
  bool TakeFromCache();
  // Keeps the loaded points in the cache when `file` was read as it was scanned.
  void KeepInCache(const FileByteSource& file) const;

  QString filePath_;
  QString fileName_;
  int colorIndex_;
  int lineWidthIndex_;
  QString comment_;
  int timeZone_;
  int summerTime_;
  bool scanned_ = false;
  ScanResult scan_;
  FileStamp fileStamp_;
  std::string openError_;
  bool pointsLoaded_ = false;
  PackedPoints points_;
  TimeIndex timeIndex_;  // over points_, built with them
  std::uint32_t timesLoaded_ = 0;
  std::shared_ptr<const PointsCache> pointsCache_;
  int scanZone_ = 0;  // the effective zone the scan was made with
  std::int32_t deviceValueCount_ = 0;
  QString loadProblem_;
};

}  // namespace trevalo
