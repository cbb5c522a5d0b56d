#pragma once
// Positions between two fixes: a photo taken while the receiver moved from one fix to the
// next is placed on the line between them, in proportion to time.

#include <cstddef>
#include <optional>
#include <vector>

#include "track/time_index.h"
#include "track/track_point.h"

namespace trevalo {

// The point at `localTime` (strictly between the local times of `before` and `after`):
// latitude, longitude (the short way round, across the 180° meridian when that is shorter)
// and altitude in proportion to time; the time fields are the photo's own (its UTC time is
// the local time moved by the fixes' zone); every other field (speed, course, satellites,
// DOP, fix mode) is the fix `nearer`'s. The altitude is interpolated only when both fixes
// carry one of their own epoch; otherwise it is `nearer`'s.
TrackPoint InterpolatedPoint(const TrackPoint& before, const TrackPoint& after,
                             const TrackPoint& nearer, TimeValue localTime);
// The same at `share` of the way from `before` to `after` (0 < share < 1), the time of
// which is `localTime`: for a time known to fractions of a second.
TrackPoint InterpolatedPointAt(const TrackPoint& before, const TrackPoint& after,
                               const TrackPoint& nearer, double share, TimeValue localTime);

}  // namespace trevalo
