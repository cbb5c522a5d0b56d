#pragma once
// The time zones a user picks from, and how a zone is shown.

#include <array>

#include <QString>

namespace trevalo {

inline constexpr std::array<int, 38> kTimeZoneList = {
    -1200, -1100, -1000, -900, -800, -700, -600, -500, -400, -330, -300, -230, -200,
    -100,  0,     100,   200,  300,  330,  400,  430,  500,  530,  545,  600,  630,
    645,   700,   730,   800,  900,  930,  1000, 1030, 1100, 1200, 1300, 1400};

// "GMT +09:00", "GMT -03:30", "GMT" for 0; `gmt` is the word shown for GMT.
QString ZoneText(int zone, const QString& gmt = QStringLiteral("GMT"));
// The entry of a zone in the list, or -1 for a zone outside it (which keeps its value).
int ZoneListIndex(int zone);
// The zone an edit ends with: the chosen entry's, or the log's own when none is chosen.
int SelectedZone(int entryIndex, int currentZone);

}  // namespace trevalo
