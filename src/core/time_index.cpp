#include "core/time_index.h"

#include <algorithm>
#include <numeric>

namespace trevalo {

TimeIndex::TimeIndex(const std::vector<TrackPoint>& points) {
  const bool inOrder = std::is_sorted(
      points.begin(), points.end(),
      [](const TrackPoint& a, const TrackPoint& b) { return a.localTime < b.localTime; });
  if (inOrder) {
    return;
  }
  order_.resize(points.size());
  std::iota(order_.begin(), order_.end(), std::uint32_t{0});
  // Stable: points of the same time keep their order in the file.
  std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
    return points[a].localTime < points[b].localTime;
  });
}

std::size_t TimeIndex::FirstNotBefore(const std::vector<TrackPoint>& points,
                                      TimeValue localTime) const {
  std::size_t low = 0;
  std::size_t high = points.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (points[PointAt(middle)].localTime < localTime) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

std::size_t TimeIndex::Nearest(const std::vector<TrackPoint>& points, TimeValue localTime) const {
  if (points.empty()) {
    return 0;
  }
  const std::size_t rank = FirstNotBefore(points, localTime);
  // The candidates: the first point of the latest time before, and the first point of the
  // earliest time not before (each the earliest in the file of its time).
  std::optional<std::size_t> before;
  if (rank > 0) {
    before = PointAt(FirstNotBefore(points, points[PointAt(rank - 1)].localTime));
  }
  if (rank == points.size()) {
    return *before;
  }
  const std::size_t notBefore = PointAt(rank);
  if (!before) {
    return notBefore;
  }
  const TimeValue toBefore = localTime - points[*before].localTime;
  const TimeValue toAfter = points[notBefore].localTime - localTime;
  if (toBefore != toAfter) {
    return toBefore < toAfter ? *before : notBefore;
  }
  return std::min(*before, notBefore);
}

std::optional<FixesAround> TimeIndex::Around(const std::vector<TrackPoint>& points,
                                             TimeValue localTime) const {
  const std::size_t rank = FirstNotBefore(points, localTime);
  if (rank == 0 || rank == points.size() || points[PointAt(rank)].localTime == localTime) {
    return std::nullopt;
  }
  const std::size_t before = PointAt(FirstNotBefore(points, points[PointAt(rank - 1)].localTime));
  return FixesAround{before, PointAt(rank)};
}

}  // namespace trevalo
