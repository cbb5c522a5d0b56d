#pragma once
// How photos are matched against the library and where their positions are moved: the
// values the photo page holds and the settings page and the correction dialog change.

#include <cstdint>

namespace trevalo {

struct MatchSettings {
  // Hours either side of a log; 0 means 10 minutes, 99 means no limit.
  int tolerance = 0;
  // True time minus camera time, added to every capture time (0 when off).
  bool cameraCorrection = false;
  std::int64_t cameraSpan = 0;
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
  int latitudeCorrection() const { return positionCorrection ? latitudeOffset : 0; }
  int longitudeCorrection() const { return positionCorrection ? longitudeOffset : 0; }
};

}  // namespace trevalo
