#pragma once
// The satellites in view of each epoch of a log, summarised from its GSV sentences.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "track/track_point.h"

namespace trevalo {

// The satellite groups a summary takes at most: every system's satellites in view, each
// group ",nn,ee,aaa,ss", come to well under 2,000 bytes.
inline constexpr std::size_t kMostSatelliteGroupBytes = 4096;

// The satellites in view of one epoch, from its GSV sequences. A receiver of several systems
// writes one sequence per system (GPGSV, GLGSV, GAGSV, ...) and, from NMEA 4.10 on, one per
// signal of a system as well, which lists the same satellites again: the summary takes each
// system once, from the first signal it reports, and puts the count of all first. A sequence
// of a system already taken with the same signal starts the summary afresh, as the only
// sequence of a single-system receiver does in every epoch.
class SatelliteSummary {
 public:
  // Adds one GSV sentence (its text after the start character) to `point`.
  void Take(std::string_view text, TrackPoint& point);

  // The next GSV sequence belongs to a new epoch.
  void NextEpoch() { sequences_.clear(); }

  bool operator==(const SatelliteSummary&) const = default;

 private:
  struct Sequence {
    std::string talker;
    std::string signal;
    int count;
    bool operator==(const Sequence&) const = default;
  };

  void StartSequence(Sequence sequence, std::string_view countField);

  std::vector<Sequence> sequences_;
  std::string countText_;
  std::string groups_;
  int earlierCount_ = 0;
  bool skipping_ = false;
};

}  // namespace trevalo
