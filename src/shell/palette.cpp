#include "shell/palette.h"

#include <array>

namespace trevalo {
namespace {

constexpr std::array<std::uint32_t, kPaletteSize> kPalette = {
    0xEEEE17, 0xFF00FF, 0xFFFFFF, 0xFF0000, 0x00FFFF, 0x00FF00, 0x0000FF, 0x808080,
    0xC0C0C0, 0x808000, 0x800080, 0x800000, 0x008080, 0x008000, 0x000080, 0x000000,
};

}  // namespace

std::uint32_t ColorForIndex(int index) {
  // The last palette entry is black like every index outside the table.
  return index >= 0 && index < kPaletteSize - 1 ? kPalette[static_cast<std::size_t>(index)] : 0;
}

std::uint32_t RgbForIndex(int index) {
  const std::uint32_t bgr = ColorForIndex(index);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

int LineWidthForIndex(int index) {
  return index >= 0 && index < kLineWidthEntries ? 8 - index : 2;
}

int LineBarThickness(int index) {
  return index >= 0 && index < kLineWidthEntries ? 6 - index : 0;
}

}  // namespace trevalo
