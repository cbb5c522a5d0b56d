#include "track/log_reading.h"

#include <cmath>

namespace trevalo {
namespace {

// A packed ddmm.mmmm (or dddmm.mmmm) value that names a place: finite, not negative,
// minutes below 60, at most `mostDegrees` in all.
bool IsPackedCoordinate(double packed, double mostDegrees) {
  if (!std::isfinite(packed) || packed < 0) {
    return false;
  }
  const double degrees = std::trunc(packed / 100);
  const double minutes = packed - degrees * 100;
  return minutes < 60 && degrees + minutes / 60 <= mostDegrees;
}

}  // namespace

// A completed point whose numbers cannot be measurements (a position off the globe, a
// value that is not finite, an altitude or speed beyond any receiver) is no usable point:
// its position is dropped (both coordinates 0, which every walk skips) and each such number
// reads as 0, so that neither documents nor the statistics over all points see it.
void DropImplausibleFix(TrackPoint& point) {
  bool plausible = true;
  const auto bound = [&plausible](auto& value, double least, double most) {
    if (value >= least && value <= most) {  // false for nan
      return true;
    }
    value = 0;
    plausible = false;
    return false;
  };
  if (!bound(point.altitude, 0, kMostAltitudeMetres)) {  // kept as a magnitude
    point.altitudeBelowSea = 0;
  }
  bound(point.speed, 0, kMostSpeedKmh);
  bound(point.course, 0, 360);
  bound(point.dop, 0, kMostDop);
  bound(point.hdop, 0, kMostDop);
  bound(point.satellitesInView, 0, 255);
  if (!plausible || !IsPackedCoordinate(point.latitude, 90) ||
      !IsPackedCoordinate(point.longitude, 180)) {
    point.latitude = 0;
    point.longitude = 0;
  }
}

std::string ScanProblemText(ScanProblem problem) {
  switch (problem) {
    case ScanProblem::kNone:
      return {};
    case ScanProblem::kUnreadable:
      return "the file cannot be read";
    case ScanProblem::kNoPointSentence:
      return "no RMC sentence with a time";
    case ScanProblem::kTruncated:
      return "the first or last timed sentence is cut off by the end of the file";
    case ScanProblem::kInvalidDateTime:
      return "a start or end date or time is out of range";
    case ScanProblem::kNoTimedPoint:
      return "no track point or waypoint with a time";
    case ScanProblem::kMalformed:
      return "not a well-formed GPX document";
  }
  return {};
}

}  // namespace trevalo
