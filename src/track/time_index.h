#pragma once
// The points of a log in the order of their local times, so that the point nearest to a
// photo's time, and the fixes around it, are found in O(log n) rather than by a walk over
// every point. The answers are exactly those of the walk: of points at the same distance,
// the one earlier in the file, whether or not the times of the file run in order (a log's
// times can repeat, and run backwards where a receiver's clock was set).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <optional>
#include <vector>

#include "track/packed_points.h"

namespace trevalo {

struct FixesAround {
  std::size_t before;  // the last fix before the time
  std::size_t after;   // the first fix after it
};

class TimeIndex {
 public:
  TimeIndex() = default;
  // Built once per load of the points; the points must stay as they are while it is used.
  // `Points` is any list whose local times LocalTimeAt(points, i) reads.
  template <class Points>
  explicit TimeIndex(const Points& points);

  // Index of the point whose local time is closest to `localTime` (the earlier in the file
  // on a tie); 0 without points.
  template <class Points>
  std::size_t Nearest(const Points& points, TimeValue localTime) const;

  // The fixes whose local times come last before `localTime` and first after it (of fixes
  // with the same time, the earlier in the file). None when a fix lies exactly at that
  // time, or when the time is not between two fixes.
  template <class Points>
  std::optional<FixesAround> Around(const Points& points, TimeValue localTime) const;

 private:
  // The point at rank `rank` of the order (by time, then by place in the file).
  std::size_t PointAt(std::size_t rank) const { return order_.empty() ? rank : order_[rank]; }
  // The first rank whose time is not before `localTime`.
  template <class Points>
  std::size_t FirstNotBefore(const Points& points, TimeValue localTime) const;

  // Empty when the file's own order is the order of time, as it is for nearly every log.
  std::vector<std::uint32_t> order_;
};

template <class Points>
TimeIndex::TimeIndex(const Points& points) {
  const std::size_t count = points.size();
  bool inOrder = true;
  for (std::size_t i = 1; i < count && inOrder; ++i) {
    inOrder = !(LocalTimeAt(points, i) < LocalTimeAt(points, i - 1));
  }
  if (inOrder) {
    return;
  }
  order_.resize(count);
  std::iota(order_.begin(), order_.end(), std::uint32_t{0});
  // Stable: points of the same time keep their order in the file.
  std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
    return LocalTimeAt(points, a) < LocalTimeAt(points, b);
  });
}

template <class Points>
std::size_t TimeIndex::FirstNotBefore(const Points& points, TimeValue localTime) const {
  std::size_t low = 0;
  std::size_t high = points.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (LocalTimeAt(points, PointAt(middle)) < localTime) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

template <class Points>
std::size_t TimeIndex::Nearest(const Points& points, TimeValue localTime) const {
  if (points.empty()) {
    return 0;
  }
  const std::size_t rank = FirstNotBefore(points, localTime);
  // The candidates: the first point of the latest time before, and the first point of the
  // earliest time not before (each the earliest in the file of its time).
  std::optional<std::size_t> before;
  if (rank > 0) {
    before = PointAt(FirstNotBefore(points, LocalTimeAt(points, PointAt(rank - 1))));
  }
  if (rank == points.size()) {
    return *before;
  }
  const std::size_t notBefore = PointAt(rank);
  if (!before) {
    return notBefore;
  }
  const TimeValue toBefore = localTime - LocalTimeAt(points, *before);
  const TimeValue toAfter = LocalTimeAt(points, notBefore) - localTime;
  if (toBefore != toAfter) {
    return toBefore < toAfter ? *before : notBefore;
  }
  return std::min(*before, notBefore);
}

template <class Points>
std::optional<FixesAround> TimeIndex::Around(const Points& points, TimeValue localTime) const {
  const std::size_t rank = FirstNotBefore(points, localTime);
  if (rank == 0 || rank == points.size() || LocalTimeAt(points, PointAt(rank)) == localTime) {
    return std::nullopt;
  }
  const std::size_t before =
      PointAt(FirstNotBefore(points, LocalTimeAt(points, PointAt(rank - 1))));
  return FixesAround{before, PointAt(rank)};
}

}  // namespace trevalo
