#pragma once
// The walks over a log's points that every track output shares (documents, map files):
// only usable points take part (both coordinates non-zero; the log reader drops the position
// of a fix whose numbers cannot be measurements), positions are built with the position
// correction, and distances are summed leg by leg between built positions.

#include <cstdint>
#include <vector>

#include <QString>

#include "track/altitude.h"
#include "track/geodesy.h"
#include "track/track_point.h"

namespace trevalo {

inline bool IsUsable(const TrackPoint& point) {
  return point.latitude != 0 && point.longitude != 0;
}

// Hundredths of an arc second added to latitudes and longitudes (0: none).
struct PositionCorrection {
  int latitude = 0;
  int longitude = 0;
};

Coordinate BuildPosition(const TrackPoint& point, PositionCorrection correction);

// Seconds for an average speed: an elapsed time of 0 counts as one second.
inline std::int64_t SpeedSeconds(std::int64_t elapsed) {
  return elapsed == 0 ? 1 : elapsed;
}

// The usable points of a log from the first to the last, and the distance along them.
struct TrackSummary {
  bool usable = false;      // some point is usable
  TimeValue firstTime = 0;  // the local times of the first and the last usable point
  TimeValue lastTime = 0;
  double distance = 0;
  Coordinate lastPosition;
  std::int64_t elapsed() const { return lastTime - firstTime; }
};

// Builds the position of every usable point, calls visit(point, position) for each in file
// order, and sums the distances between consecutive ones. `Points` is a list of TrackPoint
// (a log's points, or a vector).
template <typename Points, typename Visit>
TrackSummary SummarizeTrack(const Points& points, PositionCorrection correction, Visit&& visit) {
  TrackSummary summary;
  for (const TrackPoint& point : points) {
    if (!IsUsable(point)) {
      continue;
    }
    const Coordinate position = BuildPosition(point, correction);
    if (!summary.usable) {
      summary.usable = true;
      summary.firstTime = point.localTime;
    } else {
      summary.distance +=
          Distance(summary.lastPosition.latitudeDegrees, summary.lastPosition.longitudeDegrees,
                   position.latitudeDegrees, position.longitudeDegrees);
    }
    summary.lastTime = point.localTime;
    visit(point, position);
    summary.lastPosition = position;
  }
  return summary;
}

// The eight texts that describe a stretch of a run: distance, elapsed time, average speed,
// and the maximum, minimum, average, ascent and descent of its altitudes.
struct RunTexts {
  QString distance;
  QString elapsed;
  QString speed;
  QString maximum;
  QString minimum;
  QString average;
  QString ascent;
  QString descent;
};
RunTexts MakeRunTexts(double distance, std::int64_t elapsed, const Altitude& altitudes);

// A lap mark of a log as the lap folders and lap markers show it. The first lap mark starts
// the run; every later one closes a lap; the one whose number equals the log's lap-mark
// count closes the run.
struct LapMark {
  enum class Kind { kStart, kMiddle, kFinal };
  Kind kind = Kind::kStart;
  int number = 1;                     // 1 for the start, k for the k-th lap mark
  const TrackPoint* point = nullptr;  // valid while the mark is handed on
  Coordinate position;
  RunTexts lap;    // middle and final marks: the lap this mark closes
  RunTexts total;  // final mark: the run from the start to here
};

struct WaypointMark {
  int number = 1;                     // from 1 in each log
  const TrackPoint* point = nullptr;  // valid while the mark is handed on
  Coordinate position;
};

// How waypoints take part in a lap walk: as ordinary points of the run (the KML lap
// folders), or marked on their own without adding to distances and altitudes (the map).
enum class WaypointRule { kOrdinaryPoints, kMarkedApart };

// The altitudes of a run: the first point of it that has one starts them; points at no
// altitude add nothing.
struct RunAltitudes {
  Altitude values;
  bool started = false;

  void Restart(const Coordinate& at) {
    values = Altitude();
    started = false;
    Add(at);
  }
  void Add(const Coordinate& at) {
    if (!at.hasAltitude) {
      return;
    }
    if (started) {
      values.Add(at.altitudeMetres);
    } else {
      values.Start(at.altitudeMetres);
      started = true;
    }
  }
};

struct LapWalkResult {
  bool built = false;  // a position was built
  Coordinate lastPosition;
};

// Walks the usable points once: onLap(const LapMark&) for every lap mark from the first,
// and, with kMarkedApart, onWaypoint(const WaypointMark&) for every waypoint that is no lap
// mark. `lapCount` is the log's lap-mark count. Returns the last position built.
template <typename Points, typename OnLap, typename OnWaypoint>
LapWalkResult WalkLaps(const Points& points, std::int32_t lapCount, PositionCorrection correction,
                       WaypointRule rule, OnLap&& onLap, OnWaypoint&& onWaypoint) {
  LapWalkResult result;
  bool started = false;
  double lapDistance = 0;
  double totalDistance = 0;
  std::int64_t totalElapsed = 0;
  int lapCounter = 0;
  int waypointCounter = 0;
  TimeValue lapStartTime = 0;
  RunAltitudes lapAltitudes;
  RunAltitudes totalAltitudes;
  const auto build = [&](const TrackPoint& point) {
    const Coordinate position = BuildPosition(point, correction);
    const double leg = result.built ? Distance(result.lastPosition.latitudeDegrees,
                                               result.lastPosition.longitudeDegrees,
                                               position.latitudeDegrees, position.longitudeDegrees)
                                    : 0;
    result.built = true;
    result.lastPosition = position;
    return leg;
  };
  const auto extendRun = [&](double leg) {
    lapAltitudes.Add(result.lastPosition);
    totalAltitudes.Add(result.lastPosition);
    lapDistance += leg;
    totalDistance += leg;
  };
  for (const TrackPoint& point : points) {
    if (!IsUsable(point)) {
      continue;
    }
    if (point.isLap && !started) {
      build(point);
      lapAltitudes.Restart(result.lastPosition);
      totalAltitudes.Restart(result.lastPosition);
      LapMark mark;
      mark.number = ++lapCounter;
      mark.point = &point;
      mark.position = result.lastPosition;
      onLap(static_cast<const LapMark&>(mark));
      started = true;
      lapStartTime = point.localTime;
    } else if (point.isLap) {
      extendRun(build(point));
      const std::int64_t lapElapsed = point.localTime - lapStartTime;
      totalElapsed += lapElapsed;
      LapMark mark;
      mark.number = lapCounter + 1;
      mark.kind = mark.number == lapCount ? LapMark::Kind::kFinal : LapMark::Kind::kMiddle;
      mark.point = &point;
      mark.position = result.lastPosition;
      mark.lap = MakeRunTexts(lapDistance, lapElapsed, lapAltitudes.values);
      if (mark.kind == LapMark::Kind::kFinal) {
        mark.total = MakeRunTexts(totalDistance, totalElapsed, totalAltitudes.values);
      }
      onLap(static_cast<const LapMark&>(mark));
      ++lapCounter;
      lapDistance = 0;
      lapAltitudes.Restart(result.lastPosition);
      lapStartTime = point.localTime;
    } else if (point.isWaypoint && rule == WaypointRule::kMarkedApart) {
      build(point);
      WaypointMark mark;
      mark.number = ++waypointCounter;
      mark.point = &point;
      mark.position = result.lastPosition;
      onWaypoint(static_cast<const WaypointMark&>(mark));
    } else if (started) {
      extendRun(build(point));
    }
  }
  return result;
}

}  // namespace trevalo
