#pragma once
// The computer's standard time zone as hours times 100 plus minutes, east positive;
// daylight saving is not included.

#include <QTimeZone>

namespace trevalo {

int LocalZoneHHMM(const QTimeZone& zone = QTimeZone::systemTimeZone());
// The zone of an offset from UTC in seconds (east positive), whole minutes.
int ZoneFromUtcOffset(int offsetSeconds);

}  // namespace trevalo
