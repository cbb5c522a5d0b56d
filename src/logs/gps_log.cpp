#include "logs/gps_log.h"

#include <cstdlib>
#include <memory>

#include <QFileInfo>

#include "logs/log_format.h"

namespace trevalo {

GPSLog::GPSLog(QString filePath, int colorIndex, int lineWidthIndex, QString comment, int timeZone,
               int summerTime, std::shared_ptr<const PointsCache> pointsCache)
    : GPSLog(std::move(filePath), colorIndex, lineWidthIndex, std::move(comment), timeZone,
             summerTime, std::move(pointsCache), true) {}

GPSLog::GPSLog(QString filePath, int colorIndex, int lineWidthIndex, QString comment, int timeZone,
               int summerTime, std::shared_ptr<const PointsCache> pointsCache, bool scan)
    : filePath_(std::move(filePath)),
      fileName_(QFileInfo(filePath_).fileName()),
      colorIndex_(colorIndex),
      lineWidthIndex_(lineWidthIndex),
      comment_(std::move(comment)),
      timeZone_(timeZone),
      summerTime_(summerTime),
      pointsCache_(std::move(pointsCache)) {
  if (scan) {
    Scan();
  }
}

GPSLog::GPSLog(QString filePath, int timeZone, int summerTime, ReadAtOnce,
               std::shared_ptr<const PointsCache> pointsCache)
    : GPSLog(std::move(filePath), 0, 0, {}, timeZone, summerTime, std::move(pointsCache), false) {
  if (pointsCache_) {
    scanned_ = true;
    scanZone_ = effectiveZone();
    fileStamp_ = StampOf(filePath_);
    if (std::optional<PointsCache::Entry> entry = pointsCache_->Find(fileStamp_, scanZone_)) {
      scan_ = std::move(entry->scan);
      points_ = std::move(entry->points);
      PointsReady(entry->deviceValueCount);
      return;
    }
  }
  const std::unique_ptr<FileByteSource> opened = OpenForScan();
  if (!opened) {
    loadProblem_ = scanProblem();
    return;
  }
  FileByteSource& file = *opened;
  ParseResult parsed;
  scan_ = LogFormatFor(file).ScanAndParse(file, effectiveZone(), points_, parsed);
  if (scan_.problem == ScanProblem::kUnreadable) {
    openError_ = file.errorText();
    points_.Clear();
    loadProblem_ = scanProblem();
    return;
  }
  FinishLoad(parsed, file);
  KeepInCache(file);
}

std::unique_ptr<FileByteSource> GPSLog::OpenForScan() {
  scanned_ = true;
  scanZone_ = effectiveZone();
  fileStamp_ = StampOf(filePath_);
  auto file = std::make_unique<FileByteSource>(filePath_);
  if (!file->isOpen()) {
    openError_ = file->errorText();
    scan_.problem = ScanProblem::kUnreadable;
    return nullptr;
  }
  return file;
}

void GPSLog::Scan() {
  if (scanned_) {
    return;
  }
  if (pointsCache_) {
    const FileStamp stamp = StampOf(filePath_);
    if (std::optional<ScanResult> scan = pointsCache_->FindScan(stamp, effectiveZone())) {
      scanned_ = true;
      scanZone_ = effectiveZone();
      fileStamp_ = stamp;
      scan_ = std::move(*scan);
      return;
    }
  }
  const std::unique_ptr<FileByteSource> opened = OpenForScan();
  if (!opened) {
    return;
  }
  FileByteSource& file = *opened;
  scan_ = LogFormatFor(file).Scan(file, effectiveZone());
  if (scan_.problem == ScanProblem::kUnreadable) {
    openError_ = file.errorText();
  }
}

bool GPSLog::LoadPoints() {
  if (pointsLoaded_) {
    return true;
  }
  Scan();
  loadProblem_.clear();
  if (scan_.problem == ScanProblem::kUnreadable) {
    loadProblem_ = scanProblem();
    return false;
  }
  if (TakeFromCache()) {
    return true;
  }
  FileByteSource file(filePath_);
  if (!file.isOpen()) {
    loadProblem_ = QString::fromStdString(file.errorText());
    return false;
  }
  FinishLoad(LogFormatFor(file).Parse(file, scan_.pointCount, effectiveZone(), points_), file);
  KeepInCache(file);
  return pointsLoaded_;
}

bool GPSLog::TakeFromCache() {
  if (!pointsCache_ || scanZone_ != effectiveZone() || !(StampOf(filePath_) == fileStamp_)) {
    return false;
  }
  std::optional<PointsCache::Entry> entry = pointsCache_->Find(fileStamp_, scanZone_);
  if (!entry || !(entry->scan == scan_)) {
    return false;
  }
  points_ = std::move(entry->points);
  PointsReady(entry->deviceValueCount);
  return true;
}

void GPSLog::KeepInCache(const FileByteSource& file) const {
  // A file that changed while it was read may not match its scan: it is not kept.
  if (pointsCache_ && pointsLoaded_ && scanZone_ == effectiveZone() && file.stamp() == fileStamp_) {
    pointsCache_->Keep(fileStamp_, scanZone_, scan_, deviceValueCount_, points_);
  }
}

void GPSLog::FinishLoad(const ParseResult& parsed, const FileByteSource& file) {
  if (!parsed.ok || parsed.readFailed) {
    points_.Clear();
    loadProblem_ = parsed.readFailed
                       ? QString::fromStdString(file.errorText())
                       : QStringLiteral("date or time out of range in the sentence at byte %1")
                             .arg(parsed.problemOffset);
    return;
  }
  PointsReady(parsed.deviceValueCount);
}

void GPSLog::PointsReady(std::int32_t deviceValueCount) {
  deviceValueCount_ = deviceValueCount;
  timeIndex_ = TimeIndex(points_);
  pointsLoaded_ = true;
  ++timesLoaded_;
}

void GPSLog::ReleasePoints() {
  points_.Clear();
  timeIndex_ = TimeIndex();
  pointsLoaded_ = false;
}

std::size_t GPSLog::NearestPointIndex(TimeValue localTime) {
  LoadPoints();
  return timeIndex_.Nearest(points_, localTime);
}

std::optional<FixesAround> GPSLog::FixesAroundTime(TimeValue localTime) {
  LoadPoints();
  return timeIndex_.Around(points_, localTime);
}

std::size_t GPSLog::NearestPointIndexMillis(std::int64_t localMillis) {
  LoadPoints();
  return timeIndex_.NearestMillis(points_, localMillis);
}

std::optional<FixesAround> GPSLog::FixesAroundMillis(std::int64_t localMillis) {
  LoadPoints();
  return timeIndex_.AroundMillis(points_, localMillis);
}

QString GPSLog::StartTimeText(const QString& timeFormat) const {
  return FormatTime(scan_.localStart, timeFormat);
}

QString GPSLog::EndTimeText(const QString& timeFormat) const {
  return FormatTime(scan_.localEnd, timeFormat);
}

QString GPSLog::scanProblem() const {
  if (scan_.problem == ScanProblem::kNone) {
    return {};
  }
  if (scan_.problem == ScanProblem::kUnreadable && !openError_.empty()) {
    return QString::fromStdString(openError_);
  }
  QString text = QString::fromStdString(ScanProblemText(scan_.problem));
  if (!scan_.problemDetail.empty()) {
    text += QStringLiteral(" (%1)").arg(QString::fromStdString(scan_.problemDetail));
  }
  if (scan_.problem == ScanProblem::kTruncated || scan_.problem == ScanProblem::kInvalidDateTime) {
    text += QStringLiteral(" (sentence at byte %1)").arg(scan_.problemOffset);
  }
  return text;
}

}  // namespace trevalo
