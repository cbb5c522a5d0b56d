#pragma once
// The camera-time correction: the user tells what the camera's clock showed at a moment
// whose true time is known; the difference is added to every capture time before it is
// shown and matched, never written into a photo.

#include <cstdint>

#include "track/calendar_time.h"

namespace trevalo {

// True time minus camera time, in seconds (negative for a camera that is ahead).
inline std::int64_t CameraSpan(TimeValue trueTime, TimeValue cameraTime) {
  return trueTime - cameraTime;
}

// What the camera showed at `trueTime` with a span in force, for showing the correction
// again: the dialog opens on the camera time that corresponds to now.
inline TimeValue CameraTimeAt(TimeValue trueTime, std::int64_t span) {
  return trueTime - span;
}

}  // namespace trevalo
