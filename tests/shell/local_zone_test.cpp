#include <gtest/gtest.h>

#include "shell/local_zone.h"

namespace trevalo {
namespace {

TEST(LocalZone, OffsetsBecomeHoursAndMinutes) {
  EXPECT_EQ(ZoneFromUtcOffset(9 * 3600), 900);
  EXPECT_EQ(ZoneFromUtcOffset(-(3 * 3600 + 30 * 60)), -330);
  EXPECT_EQ(ZoneFromUtcOffset(5 * 3600 + 45 * 60), 545);
  EXPECT_EQ(ZoneFromUtcOffset(0), 0);
  EXPECT_EQ(ZoneFromUtcOffset(-10 * 3600), -1000);
}

TEST(LocalZone, StandardTimeWithoutDaylightSaving) {
  EXPECT_EQ(LocalZoneHHMM(QTimeZone(QByteArrayLiteral("Asia/Seoul"))), 900);
  EXPECT_EQ(LocalZoneHHMM(QTimeZone(QByteArrayLiteral("America/St_Johns"))), -330);
  EXPECT_EQ(LocalZoneHHMM(QTimeZone(QByteArrayLiteral("Asia/Kathmandu"))), 545);
  EXPECT_EQ(LocalZoneHHMM(QTimeZone(QByteArrayLiteral("Europe/Berlin"))), 100);
}

}  // namespace
}  // namespace trevalo
