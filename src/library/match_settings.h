#pragma once
// How photos are matched against the library and where their positions are moved: the
// values the photo page holds and the settings page and the correction dialog change.

#include <cstdint>

namespace trevalo {

struct MatchSettings {
  // Hours either side of a log; 0 means 10 minutes, 99 means no limit.
  int tolerance = 0;
  // True time minus camera time, added to every capture time (0 when off). A camera clock
  // that drifts: with a second reference the correction grows by driftPerSecond for each
  // second of camera time after driftFrom (the first reference's camera time), and shrinks
  // before it; driftTo is the second reference's camera time.
  bool cameraCorrection = false;
  std::int64_t cameraSpan = 0;
  bool cameraDrift = false;
  std::int64_t driftFrom = 0;
  std::int64_t driftTo = 0;
  double driftPerSecond = 0;
  // A photo that records the zone of its clock (OffsetTimeOriginal) is matched at its UTC
  // instant, whatever the logs' zones; off for a camera whose zone setting is known wrong.
  bool usePhotoZone = true;
  // Photos that already carry a position are left as they are when photos are saved.
  bool keepExistingPositions = false;
  // Hundredths of an arc second towards north and east (0 when off), -500..500.
  bool positionCorrection = false;
  int latitudeOffset = 0;
  int longitudeOffset = 0;
  // Place a photo between the two fixes around its time, in proportion to time, when they
  // are at most maxGapSeconds apart; off, or with the fixes further apart, the nearest fix.
  bool interpolate = false;
  int maxGapSeconds = kDefaultMaxGapSeconds;
  static constexpr int kDefaultMaxGapSeconds = 60;
  static constexpr int kLongestMaxGapSeconds = 3600;

  // The tolerance in seconds: 0 for no limit (99), 600 for 0, else hours.
  std::int64_t ToleranceSeconds() const {
    return tolerance == 99 ? 0 : tolerance == 0 ? 600 : std::int64_t{tolerance} * 3600;
  }
  // A stored maximum gap: 1..kLongestMaxGapSeconds stand, anything else (none) is the default.
  static int MaxGapOrDefault(int stored) {
    return stored >= 1 && stored <= kLongestMaxGapSeconds ? stored : kDefaultMaxGapSeconds;
  }
  // A correction of one span, without drift.
  void SetCameraSpan(bool on, std::int64_t span) {
    cameraCorrection = on;
    cameraSpan = on ? span : 0;
    cameraDrift = false;
    driftPerSecond = 0;
  }
  // Seconds to add to a capture time the camera's clock gave as `cameraClock`.
  double CameraCorrectionAt(std::int64_t cameraClock) const {
    if (!cameraCorrection) {
      return 0;
    }
    return static_cast<double>(cameraSpan) +
           (cameraDrift ? driftPerSecond * static_cast<double>(cameraClock - driftFrom) : 0);
  }
  // Sets the correction from two references (what the camera showed, and the true time, at
  // two moments): the span at the first and the drift to the second; false (and nothing
  // changed) when the camera times are equal.
  bool SetCameraReferences(std::int64_t camera1, std::int64_t true1, std::int64_t camera2,
                           std::int64_t true2) {
    if (camera1 == camera2) {
      return false;
    }
    cameraCorrection = true;
    cameraSpan = true1 - camera1;
    cameraDrift = true;
    driftFrom = camera1;
    driftTo = camera2;
    driftPerSecond = static_cast<double>((true2 - camera2) - (true1 - camera1)) /
                     static_cast<double>(camera2 - camera1);
    return true;
  }
  int latitudeCorrection() const { return positionCorrection ? latitudeOffset : 0; }
  int longitudeCorrection() const { return positionCorrection ? longitudeOffset : 0; }
};

}  // namespace trevalo
