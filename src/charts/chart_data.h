#pragma once
// The altitude and speed charts of one log (over distance and over time) and its
// statistics table: series of at most 2000 samples in which every stretch's extremes
// survive the averaging.

#include <memory>

#include <QString>
#include <QStringList>

#include "logs/gps_log.h"
#include "track/altitude.h"

namespace trevalo {

struct ChartStatistics {
  QString altitudeMinimum;  // "%.1f m"
  QString altitudeAverage;
  QString altitudeMaximum;
  QString speedMinimum;  // "%.1f Km/h"
  QString speedAverage;
  QString speedMaximum;
  QString totalDistance;
  QString elapsedTime;
  QString startTime;
  QString endTime;
  QString fileName;
};

struct ChartData {
  // The distance charts exist when the track is longer than 0 m, the time charts (and the
  // window with the statistics) when it lasts longer than 0 s.
  bool hasDistanceCharts = false;
  bool hasTimeCharts = false;
  AltitudeSeries distanceAltitude;
  AltitudeSeries distanceSpeed;
  AltitudeSeries timeAltitude;
  AltitudeSeries timeSpeed;
  double totalDistance = 0;   // metres
  std::int64_t timeSpan = 0;  // seconds
  ChartStatistics statistics;
  // "Invalid Log File.." once for charts that cannot be drawn (no distance, no time span).
  QStringList messages;
};

// The altitude a log's charts use for a point: the logger's own reading plus the log's
// device offset when the log has such readings, else the GPS altitude.
class ChartAltitude {
 public:
  explicit ChartAltitude(const GPSLog& log);
  double operator()(const TrackPoint& point) const;
  // The point has an altitude to chart: every point of a log with device readings, else
  // the points that carry one (TrackPoint::HasAltitude).
  bool Has(const TrackPoint& point) const { return useDevice_ || point.HasAltitude(); }
  std::int64_t deviceOffset() const { return deviceOffset_; }

 private:
  bool useDevice_ = false;
  std::int64_t deviceOffset_ = 0;
};

// The charts of a log whose points are loaded; `fileName` is the name the statistics show.
std::unique_ptr<ChartData> ComputeCharts(const GPSLog& log, const QString& fileName);

}  // namespace trevalo
