#include <gtest/gtest.h>

#include "shell/display_format.h"

namespace trevalo {
namespace {

QString Format(const char* format) {
  return FormatLongLat(QString::fromUtf8(format), QStringLiteral("S"), 37, 5, 7.126);
}

TEST(LongLatFormat, AppliesPrintfConversionsInOrder) {
  EXPECT_EQ(Format("%s %d° %02d' %05.2f\""), QStringLiteral("S 37° 05' 07.13\""));
  EXPECT_EQ(Format("%s%d-%d-%.3f"), QStringLiteral("S37-5-7.126"));
  EXPECT_EQ(Format("100%% %s"), QStringLiteral("100% S"));
  EXPECT_EQ(Format("LANGUAGE"), QStringLiteral("LANGUAGE"));
  EXPECT_EQ(Format("%-3s|%+d|%ld|%lf"), QStringLiteral("S  |+37|5|7.126000"));
}

TEST(LongLatFormat, ConversionsThatDoNotFitTheirArgumentAreHarmless) {
  // Each argument keeps its own type whatever the conversion asks for.
  EXPECT_EQ(Format("%d %s %f %s"), QStringLiteral("S 37 5.000000 7.126000"));
  EXPECT_EQ(Format("%s %d %d %d"), QStringLiteral("S 37 5 7"));
  // Conversions beyond the four arguments print nothing; %n never writes.
  EXPECT_EQ(Format("%s %d %d %f %s %d %n|"), QStringLiteral("S 37 5 7.126000   |"));
  // Widths are capped, so a hostile format cannot ask for huge texts.
  EXPECT_LE(Format("%999999999d").size(), 64);
  EXPECT_EQ(Format("%"), QStringLiteral("%"));
  EXPECT_EQ(Format("%*d"), QStringLiteral("d"));
}

}  // namespace
}  // namespace trevalo
