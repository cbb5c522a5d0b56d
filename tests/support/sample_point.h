#pragma once

#include "core/track_point.h"

namespace trevalo::test {

// A track point with every field set and its GGA data from the same epoch (so that the full
// GPS directory is written): 37 23.4567 S, 126 58.1234 E, 45.3 m, 2009-05-17 12:35:19 UTC.
TrackPoint SamplePoint();

}  // namespace trevalo::test
