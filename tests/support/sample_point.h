#pragma once

#include "track/geodesy.h"
#include "track/track_point.h"
#include "track/track_walk.h"

namespace trevalo::test {

// A track point with every field set and its GGA data from the same epoch (so that the full
// GPS directory is written): 37 23.4567 S, 126 58.1234 E, 45.3 m, 2009-05-17 12:35:19 UTC.
TrackPoint SamplePoint();

// A position given in decimal degrees and metres.
Coordinate PositionAt(double latitude, double longitude, double altitude);

// The texts of a lap (1.5 km in ten minutes, 100 to 120 m) and of a whole run of two such
// laps (3 km in twenty minutes, 100 to 130 m).
RunTexts SampleLap();
RunTexts SampleRun();

}  // namespace trevalo::test
