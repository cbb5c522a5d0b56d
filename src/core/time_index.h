#pragma once
// The points of a log in the order of their local times, so that the point nearest to a
// photo's time, and the fixes around it, are found in O(log n) rather than by a walk over
// every point. The answers are exactly those of the walk: of points at the same distance,
// the one earlier in the file, whether or not the times of the file run in order (a log's
// times can repeat, and run backwards where a receiver's clock was set).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/track_point.h"

namespace trevalo {

struct FixesAround {
  std::size_t before;  // the last fix before the time
  std::size_t after;   // the first fix after it
};

class TimeIndex {
 public:
  TimeIndex() = default;
  // Built once per load of the points; the points must stay as they are while it is used.
  explicit TimeIndex(const std::vector<TrackPoint>& points);

  // Index of the point whose local time is closest to `localTime` (the earlier in the file
  // on a tie); 0 without points.
  std::size_t Nearest(const std::vector<TrackPoint>& points, TimeValue localTime) const;

  // The fixes whose local times come last before `localTime` and first after it (of fixes
  // with the same time, the earlier in the file). None when a fix lies exactly at that
  // time, or when the time is not between two fixes.
  std::optional<FixesAround> Around(const std::vector<TrackPoint>& points,
                                    TimeValue localTime) const;

 private:
  // The point at rank `rank` of the order (by time, then by place in the file).
  std::size_t PointAt(std::size_t rank) const { return order_.empty() ? rank : order_[rank]; }
  // The first rank whose time is not before `localTime`.
  std::size_t FirstNotBefore(const std::vector<TrackPoint>& points, TimeValue localTime) const;

  // Empty when the file's own order is the order of time, as it is for nearly every log.
  std::vector<std::uint32_t> order_;
};

}  // namespace trevalo
