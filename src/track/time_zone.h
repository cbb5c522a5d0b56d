#pragma once
// Time zones of the track model: a signed integer of hours times 100 plus minutes
// (900 is +09:00, -330 is -03:30, 0 is UTC).

#include <optional>

#include <QString>

#include "track/calendar_time.h"

namespace trevalo {

// Moves a time by a zone: forward for a zone greater than 0, backward otherwise.
TimeValue ShiftByZone(TimeValue time, int zone);

// The zone a log's local times use: its own zone plus its summer-time offset (100 or 0).
inline int EffectiveZone(int timeZone, int summerTime) {
  return timeZone + summerTime;
}

// Reads a zone as written by a user: an optional sign and up to four digits (HHMM, or HMM),
// such as "900", "+0900", "-330", "0". Refuses minutes of 60 or more and hours beyond 14.
std::optional<int> ParseZone(const QString& text);

// "+09:00", "-03:30", "+00:00".
QString ZoneOffsetText(int zone);

}  // namespace trevalo
