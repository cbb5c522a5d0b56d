#include <gtest/gtest.h>

#include "shell/palette.h"

namespace trevalo {
namespace {

TEST(Palette, ColoursAndTheBlackOutsideTheTable) {
  EXPECT_EQ(ColorForIndex(0), 0xEEEE17u);
  EXPECT_EQ(ColorForIndex(3), 0xFF0000u);
  EXPECT_EQ(ColorForIndex(14), 0x000080u);
  EXPECT_EQ(ColorForIndex(15), 0u);
  EXPECT_EQ(ColorForIndex(20), 0u);
  EXPECT_EQ(ColorForIndex(-1), 0u);
}

TEST(Palette, WebColoursSwapRedAndBlue) {
  EXPECT_EQ(RgbForIndex(6), 0xFF0000u);  // red
  EXPECT_EQ(RgbForIndex(3), 0x0000FFu);  // blue
  EXPECT_EQ(RgbForIndex(0), 0x17EEEEu);
  EXPECT_EQ(RgbForIndex(15), 0u);
}

TEST(Palette, LineWidths) {
  const int widths[] = {8, 7, 6, 5, 4, 3};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(LineWidthForIndex(i), widths[i]);
    EXPECT_EQ(LineBarThickness(i), 6 - i);
  }
  EXPECT_EQ(LineWidthForIndex(6), 2);
  EXPECT_EQ(LineWidthForIndex(-1), 2);
}

}  // namespace
}  // namespace trevalo
