#pragma once
// The fixed track colour palette and line widths that a log's colour and width indexes
// select.

#include <cstdint>

namespace trevalo {

inline constexpr int kPaletteSize = 16;
inline constexpr int kLineWidthEntries = 6;

// The palette colour laid out 0x00BBGGRR for indexes 0 to 14; black for any other index
// (15 included).
std::uint32_t ColorForIndex(int index);
// The same colour laid out 0x00RRGGBB, for web colours.
std::uint32_t RgbForIndex(int index);
// The width a track is written and shown with: index 0 gives 8 down to index 5 giving 3;
// any other index gives 2.
int LineWidthForIndex(int index);
// The thickness of the bar the width list draws for an entry: 6 down to 1.
int LineBarThickness(int index);

}  // namespace trevalo
