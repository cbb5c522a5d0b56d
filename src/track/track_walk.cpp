#include "track/track_walk.h"

namespace trevalo {

Coordinate BuildPosition(const TrackPoint& point, PositionCorrection correction) {
  Coordinate position(point);
  position.Convert(point.CorrectionOf(correction.longitude),
                   point.CorrectionOf(correction.latitude));
  return position;
}

RunTexts MakeRunTexts(double distance, std::int64_t elapsed, const Altitude& altitudes) {
  return {
      DistanceText(distance),  DurationText(elapsed),   SpeedText(distance, SpeedSeconds(elapsed)),
      altitudes.MaximumText(), altitudes.MinimumText(), altitudes.AverageText(),
      altitudes.ClimbText(),   altitudes.DescentText()};
}

}  // namespace trevalo
