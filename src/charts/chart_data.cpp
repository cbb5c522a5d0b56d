#include "charts/chart_data.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "files/output_file.h"
#include "track/calendar_time.h"
#include "track/track_walk.h"

namespace trevalo {
namespace {

const QString kInvalidLog = QStringLiteral("Invalid Log File..");

QString Fixed1(double value, const char* unit) {
  std::string text;
  AppendFixed(text, value, 1);
  return QString::fromStdString(text) + QLatin1String(unit);
}

// Cuts the usable points into stretches of `step` (metres or seconds, as `advance` measures
// between two consecutive usable points) and pushes one altitude and one speed sample per
// stretch: the altitude is the log's highest altitude when the stretch reached it, else its
// lowest when it reached that, else the stretch's average; the speed is the average.
class SeriesWalk {
 public:
  SeriesWalk(AltitudeSeries& altitude, AltitudeSeries& speed, double lowest, double highest)
      : altitude_(altitude), speed_(speed), lowest_(lowest), highest_(highest) {}

  template <typename Advance>
  void Walk(const PackedPoints& points, const ChartAltitude& altitudeOf, Advance&& advance) {
    std::optional<TrackPoint> previous;
    const double step = altitude_.sampleStep;
    for (TrackPoint point : points) {
      if (!IsUsable(point)) {
        continue;
      }
      const bool hasAltitude = altitudeOf.Has(point);
      const double altitude = hasAltitude ? altitudeOf(point) : 0;
      altitudeSum_ += altitude;
      altitudeCount_ += hasAltitude ? 1 : 0;
      speedSum_ += point.speed;
      ++count_;
      if (!previous) {
        previous = std::move(point);
        continue;
      }
      accumulated_ += advance(*previous, point);
      sawHighest_ = sawHighest_ || (hasAltitude && altitude == highest_);
      sawLowest_ = sawLowest_ || (hasAltitude && altitude == lowest_);
      previous = std::move(point);
      while (step > 0 && accumulated_ >= step) {
        PushWindow();
        accumulated_ -= step;
      }
    }
  }

  // After a distance walk: the stretch left over, when there is one, adds a last altitude.
  void PushRemainder() {
    if (accumulated_ != 0 && count_ > 0) {
      altitude_.Push(altitudeCount_ > 0 ? altitudeSum_ / altitudeCount_ : lastAltitude_);
    }
  }

 private:
  void PushWindow() {
    // A leg longer than a stretch leaves the next stretches without points of their own:
    // they repeat the last samples.
    // A stretch without an altitude of its own (points at no altitude) repeats the last.
    if (altitudeCount_ > 0) {
      lastAltitude_ = sawHighest_ ? highest_ : sawLowest_ ? lowest_ : altitudeSum_ / altitudeCount_;
    }
    if (count_ > 0) {
      lastSpeed_ = speedSum_ / count_;
    }
    altitude_.Push(lastAltitude_);
    speed_.Push(lastSpeed_);
    altitudeSum_ = speedSum_ = 0;
    count_ = altitudeCount_ = 0;
    sawHighest_ = sawLowest_ = false;
  }

  AltitudeSeries& altitude_;
  AltitudeSeries& speed_;
  double lowest_;
  double highest_;
  double altitudeSum_ = 0;
  double speedSum_ = 0;
  int count_ = 0;
  int altitudeCount_ = 0;
  bool sawHighest_ = false;
  bool sawLowest_ = false;
  double accumulated_ = 0;
  double lastAltitude_ = 0;
  double lastSpeed_ = 0;
};

void FinishAltitude(AltitudeSeries& series) {
  series.FindRange();
  series.Smooth();
  series.BuildTexts();
}

void FinishSpeed(AltitudeSeries& series) {
  series.FindRange();
  series.ShiftToPositive();
  series.Smooth();
  series.BuildTexts();
}

}  // namespace

ChartAltitude::ChartAltitude(const GPSLog& log) : useDevice_(log.deviceValueCount() != 0) {
  const PackedPoints& points = log.points();
  if (!useDevice_ || points.empty()) {
    return;
  }
  std::int64_t gpsSum = 0;
  std::int64_t deviceSum = 0;
  std::int64_t count = 0;
  for (const TrackPoint& point : points) {
    if (point.HasAltitude()) {
      gpsSum = static_cast<std::int64_t>(static_cast<double>(gpsSum) + point.altitude);
      deviceSum += point.deviceValue;
      ++count;
    }
  }
  deviceOffset_ = count == 0 ? 0 : (gpsSum - deviceSum) / count;
}

double ChartAltitude::operator()(const TrackPoint& point) const {
  return useDevice_ ? static_cast<double>(point.deviceValue + deviceOffset_)
                    : point.SignedAltitude();
}

std::unique_ptr<ChartData> ComputeCharts(const GPSLog& log, const QString& fileName) {
  auto data = std::make_unique<ChartData>();
  const PackedPoints& points = log.points();
  const ChartAltitude altitudeOf(log);

  const TrackSummary track =
      SummarizeTrack(points, {}, [](const TrackPoint&, const Coordinate&) {});
  data->totalDistance = track.distance;
  data->timeSpan = track.elapsed();

  // Extremes over every point (for the samples) and over the usable ones (for the table).
  double lowest = std::numeric_limits<double>::max();
  double highest = std::numeric_limits<double>::lowest();
  double altitudeSum = 0;
  std::int64_t altitudeCount = 0;
  for (const TrackPoint& point : points) {
    if (altitudeOf.Has(point)) {
      const double altitude = altitudeOf(point);
      lowest = std::min(lowest, altitude);
      highest = std::max(highest, altitude);
      altitudeSum += altitude;
      ++altitudeCount;
    }
  }
  std::optional<double> usableLowest, usableHighest, slowest, fastest;
  for (const TrackPoint& point : points) {
    if (IsUsable(point)) {
      if (altitudeOf.Has(point)) {
        const double altitude = altitudeOf(point);
        usableLowest = std::min(usableLowest.value_or(altitude), altitude);
        usableHighest = std::max(usableHighest.value_or(altitude), altitude);
      }
      slowest = std::min(slowest.value_or(point.speed), point.speed);
      fastest = std::max(fastest.value_or(point.speed), point.speed);
    }
  }

  if (track.distance > 0) {
    data->hasDistanceCharts = true;
    data->distanceAltitude.SetTotal(track.distance);
    data->distanceSpeed.SetTotal(track.distance);
    SeriesWalk walk(data->distanceAltitude, data->distanceSpeed, lowest, highest);
    walk.Walk(points, altitudeOf, [](const TrackPoint& from, const TrackPoint& to) {
      const Coordinate a = BuildPosition(from, {});
      const Coordinate b = BuildPosition(to, {});
      return Distance(a.latitudeDegrees, a.longitudeDegrees, b.latitudeDegrees, b.longitudeDegrees);
    });
    walk.PushRemainder();
    FinishAltitude(data->distanceAltitude);
    FinishSpeed(data->distanceSpeed);
  } else {
    data->messages << kInvalidLog;
  }

  if (data->timeSpan <= 0) {
    data->messages << kInvalidLog;
    return data;
  }
  data->hasTimeCharts = true;
  data->timeAltitude.SetTotal(static_cast<std::int32_t>(
      std::min<std::int64_t>(data->timeSpan, std::numeric_limits<std::int32_t>::max())));
  data->timeSpeed.SetTotal(data->timeAltitude.total);
  SeriesWalk walk(data->timeAltitude, data->timeSpeed, lowest, highest);
  walk.Walk(points, altitudeOf, [](const TrackPoint& from, const TrackPoint& to) {
    return static_cast<double>(to.localTime - from.localTime);
  });
  FinishAltitude(data->timeAltitude);
  FinishSpeed(data->timeSpeed);

  ChartStatistics& s = data->statistics;
  s.altitudeMinimum = Fixed1(usableLowest.value_or(0), " m");
  s.altitudeMaximum = Fixed1(usableHighest.value_or(0), " m");
  s.altitudeAverage = Fixed1(data->hasDistanceCharts && altitudeCount > 0
                                 ? altitudeSum / static_cast<double>(altitudeCount)
                                 : 0,
                             " m");
  s.speedMinimum = Fixed1(slowest.value_or(0), " Km/h");
  s.speedMaximum = Fixed1(fastest.value_or(0), " Km/h");
  s.speedAverage = SpeedText(track.distance, data->timeSpan);
  s.totalDistance = DistanceText(track.distance);
  s.elapsedTime = DurationText(data->timeSpan);
  s.startTime = UsTimeText(track.firstTime);
  s.endTime = UsTimeText(track.lastTime);
  s.fileName = fileName;
  return data;
}

}  // namespace trevalo
