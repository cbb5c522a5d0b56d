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
#include <string>
#include <vector>

#include "track/packed_points.h"

namespace trevalo {

struct FixesAround {
  std::size_t before;  // the last fix before the time
  std::size_t after;   // the first fix after it
};

// A point's local time in milliseconds: its second and the fraction its time field writes
// ("123519.437"); for photos whose time has fractions of a second.
template <class Points>
std::int64_t LocalMillisAt(const Points& points, std::size_t index) {
  const TrackPoint point = points[index];
  std::int64_t millis = LocalTimeAt(points, index) * 1000;
  const std::size_t dot = point.rmcTimeText.find('.');
  int scale = 100;
  for (std::size_t i = dot == std::string::npos ? point.rmcTimeText.size() : dot + 1;
       i < point.rmcTimeText.size() && scale > 0; ++i, scale /= 10) {
    const char c = point.rmcTimeText[i];
    if (c < '0' || c > '9') {
      break;
    }
    millis += (c - '0') * scale;
  }
  return millis;
}

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
  std::size_t Nearest(const Points& points, TimeValue localTime) const {
    return NearestBy(points, localTime, Seconds{});
  }

  // The fixes whose local times come last before `localTime` and first after it (of fixes
  // with the same time, the earlier in the file). None when a fix lies exactly at that
  // time, or when the time is not between two fixes.
  template <class Points>
  std::optional<FixesAround> Around(const Points& points, TimeValue localTime) const {
    return AroundBy(points, localTime, Seconds{});
  }

  // The same to the millisecond (LocalMillisAt), for a time with fractions of a second. The
  // points of one second are taken in the order of the file, as receivers write them.
  template <class Points>
  std::size_t NearestMillis(const Points& points, std::int64_t localMillis) const {
    return NearestBy(points, localMillis, Millis{});
  }
  template <class Points>
  std::optional<FixesAround> AroundMillis(const Points& points, std::int64_t localMillis) const {
    return AroundBy(points, localMillis, Millis{});
  }

 private:
  struct Seconds {
    template <class Points>
    std::int64_t operator()(const Points& points, std::size_t i) const {
      return LocalTimeAt(points, i);
    }
  };
  struct Millis {
    template <class Points>
    std::int64_t operator()(const Points& points, std::size_t i) const {
      return LocalMillisAt(points, i);
    }
  };

  // The point at rank `rank` of the order (by time, then by place in the file).
  std::size_t PointAt(std::size_t rank) const { return order_.empty() ? rank : order_[rank]; }
  // The first rank whose time (as `clock` reads it) is not before `time`.
  template <class Points, class Clock>
  std::size_t FirstNotBefore(const Points& points, std::int64_t time, Clock clock) const;
  template <class Points, class Clock>
  std::size_t NearestBy(const Points& points, std::int64_t time, Clock clock) const;
  template <class Points, class Clock>
  std::optional<FixesAround> AroundBy(const Points& points, std::int64_t time, Clock clock) const;

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

template <class Points, class Clock>
std::size_t TimeIndex::FirstNotBefore(const Points& points, std::int64_t time, Clock clock) const {
  std::size_t low = 0;
  std::size_t high = points.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (clock(points, PointAt(middle)) < time) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

template <class Points, class Clock>
std::size_t TimeIndex::NearestBy(const Points& points, std::int64_t time, Clock clock) const {
  if (points.empty()) {
    return 0;
  }
  const std::size_t rank = FirstNotBefore(points, time, clock);
  // The candidates: the first point of the latest time before, and the first point of the
  // earliest time not before (each the earliest in the file of its time).
  std::optional<std::size_t> before;
  if (rank > 0) {
    before = PointAt(FirstNotBefore(points, clock(points, PointAt(rank - 1)), clock));
  }
  if (rank == points.size()) {
    return *before;
  }
  const std::size_t notBefore = PointAt(rank);
  if (!before) {
    return notBefore;
  }
  const std::int64_t toBefore = time - clock(points, *before);
  const std::int64_t toAfter = clock(points, notBefore) - time;
  if (toBefore != toAfter) {
    return toBefore < toAfter ? *before : notBefore;
  }
  return std::min(*before, notBefore);
}

template <class Points, class Clock>
std::optional<FixesAround> TimeIndex::AroundBy(const Points& points, std::int64_t time,
                                               Clock clock) const {
  const std::size_t rank = FirstNotBefore(points, time, clock);
  if (rank == 0 || rank == points.size() || clock(points, PointAt(rank)) == time) {
    return std::nullopt;
  }
  const std::size_t before =
      PointAt(FirstNotBefore(points, clock(points, PointAt(rank - 1)), clock));
  return FixesAround{before, PointAt(rank)};
}

}  // namespace trevalo
