#include <gtest/gtest.h>

#include <limits>

#include <cstdlib>
#include <ctime>

#include "track/calendar_time.h"
#include "track/time_zone.h"

namespace trevalo {
namespace {

TimeValue At(int y, int mo, int d, int h, int mi, int s) {
  return *MakeTime(y, mo, d, h, mi, s);
}

TEST(CalendarTime, FieldsOutsideTheirRangesAreRefused) {
  EXPECT_FALSE(MakeTime(1899, 12, 31, 0, 0, 0));
  EXPECT_FALSE(MakeTime(2009, 0, 1, 0, 0, 0));
  EXPECT_FALSE(MakeTime(2009, 13, 1, 0, 0, 0));
  EXPECT_FALSE(MakeTime(2009, 1, 0, 0, 0, 0));
  EXPECT_FALSE(MakeTime(2009, 1, 32, 0, 0, 0));
  EXPECT_FALSE(MakeTime(2009, 1, 1, 24, 0, 0));
  EXPECT_FALSE(MakeTime(2009, 1, 1, 0, 60, 0));
  EXPECT_FALSE(MakeTime(2009, 1, 1, 0, 0, 60));
  EXPECT_FALSE(MakeTime(2009, 1, 1, -1, 0, 0));
  EXPECT_TRUE(MakeTime(1900, 1, 1, 0, 0, 0));
  EXPECT_TRUE(MakeTime(2009, 12, 31, 23, 59, 59));
}

TEST(CalendarTime, AgreesWithTheCLibraryUtcCalendar) {
  // timegm is the zone-less reference; compare a spread of dates across leap years and
  // centuries.
  for (int year : {1900, 1970, 1999, 2000, 2004, 2009, 2024, 2100, 2400}) {
    for (int month = 1; month <= 12; ++month) {
      std::tm tm{};
      tm.tm_year = year - 1900;
      tm.tm_mon = month - 1;
      tm.tm_mday = 28;
      tm.tm_hour = 13;
      tm.tm_min = 14;
      tm.tm_sec = 15;
      EXPECT_EQ(At(year, month, 28, 13, 14, 15), timegm(&tm)) << year << "-" << month;
    }
  }
  EXPECT_EQ(kDefaultTime, At(1990, 1, 1, 0, 0, 0));
}

TEST(CalendarTime, BreakingDownGivesBackTheFieldsBuilt) {
  for (TimeValue t = At(1999, 12, 30, 0, 0, 0); t < At(2001, 3, 2, 0, 0, 0); t += 86400 / 4 + 7) {
    const CalendarFields f = *BreakDown(t);
    EXPECT_EQ(At(f.year, f.month, f.day, f.hour, f.minute, f.second), t);
  }
  const CalendarFields leap = *BreakDown(At(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ(leap.month, 2);
  EXPECT_EQ(leap.day, 29);
  EXPECT_EQ(leap.weekday, 4);  // a Thursday
  EXPECT_EQ(leap.yearDay, 59);
}

TEST(CalendarTime, ADayPastTheMonthRollsOverLikeTheCLibrary) {
  EXPECT_EQ(At(2009, 2, 31, 0, 0, 0), At(2009, 3, 3, 0, 0, 0));
  EXPECT_EQ(At(2008, 2, 30, 0, 0, 0), At(2008, 3, 1, 0, 0, 0));
}

TEST(CalendarTime, DaylightSavingOfTheHostPlaysNoPart) {
  // With a zone that springs forward on 2009-03-29 at 02:00, a host-calendar conversion
  // would move 02:30 and make the night an hour shorter.
  const char* saved = std::getenv("TZ");
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  const TimeValue before = At(2009, 3, 29, 1, 30, 0);
  const TimeValue skipped = At(2009, 3, 29, 2, 30, 0);
  const TimeValue after = At(2009, 3, 29, 3, 30, 0);
  EXPECT_EQ(skipped - before, 3600);
  EXPECT_EQ(after - before, 7200);
  EXPECT_EQ(IsoTimeText(skipped), "2009-03-29 02:30:00");
  EXPECT_EQ(FormatTime(skipped, QStringLiteral("%H:%M")), QStringLiteral("02:30"));
  if (saved != nullptr) {
    setenv("TZ", saved, 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(CalendarTime, FormatsWithStrftimeCodesInTheCLocale) {
  const TimeValue t = At(2009, 5, 17, 21, 35, 19);
  EXPECT_EQ(FormatTime(t, QStringLiteral("%Y-%m-%d %H:%M:%S")),
            QStringLiteral("2009-05-17 21:35:19"));
  EXPECT_EQ(FormatTime(t, QStringLiteral("%m/%d/%Y %I:%M:%S %p")),
            QStringLiteral("05/17/2009 09:35:19 PM"));
  EXPECT_EQ(FormatTime(t, QStringLiteral("%Y년 %m월 %d일")), QStringLiteral("2009년 05월 17일"));
  // The word the language file falls back to has no codes and shows as it is.
  EXPECT_EQ(FormatTime(t, QStringLiteral("LANGUAGE")), QStringLiteral("LANGUAGE"));
}

TEST(CalendarTime, UnformattableValuesGiveTheEmptyText) {
  EXPECT_EQ(FormatTime(At(2009, 5, 17, 0, 0, 0), QString()), QString());
  EXPECT_EQ(FormatTime(At(2009, 5, 17, 0, 0, 0),
                       QString(64, u'x') + QStringLiteral("%Y") + QString(64, u'y')),
            QString());
  EXPECT_EQ(FormatTime(At(2009, 5, 17, 0, 0, 0), QString(127, u'x')), QString(127, u'x'));
  EXPECT_EQ(FormatTime(TimeValue{1} << 60, QStringLiteral("%Y")), QString());
  EXPECT_EQ(IsoTimeText(TimeValue{-1} << 60), "");
}

TEST(CalendarTime, DateStampAndIsoTexts) {
  EXPECT_EQ(DateStampText(At(2009, 5, 18, 5, 0, 0)), "2009:05:18");
  EXPECT_EQ(IsoTimeText(At(2009, 1, 2, 3, 4, 5)), "2009-01-02 03:04:05");
}

// The remembered text must change at every midnight, before 1970 and at the ends of the
// calendar as well, and for a time that goes back a day.
TEST(CalendarTime, DateStampsOfSuccessiveTimesAreTheirOwnDates) {
  DateStamps stamps;
  const TimeValue midnight = At(2009, 5, 18, 0, 0, 0);
  const TimeValue beforeEpoch = At(1969, 12, 31, 23, 59, 58);
  const TimeValue lastOfCalendar = At(9999, 12, 31, 23, 59, 58);
  for (const TimeValue time :
       {midnight - 2, midnight - 1, midnight, midnight + 1, midnight - 1, midnight + 86400,
        beforeEpoch, beforeEpoch + 1, beforeEpoch + 2, beforeEpoch + 3, lastOfCalendar,
        lastOfCalendar + 1, lastOfCalendar + 2, lastOfCalendar + 3, TimeValue{-1} << 60,
        std::numeric_limits<TimeValue>::min(), std::numeric_limits<TimeValue>::max(), midnight}) {
    EXPECT_EQ(stamps.Of(time), DateStampText(time)) << time;
  }
}

TEST(TimeZone, ShiftsByHoursAndMinutes) {
  EXPECT_EQ(IsoTimeText(ShiftByZone(At(2009, 5, 17, 1, 0, 0), -330)), "2009-05-16 21:30:00");
  EXPECT_EQ(ShiftByZone(At(2009, 5, 17, 1, 0, 0), 0), At(2009, 5, 17, 1, 0, 0));
  EXPECT_EQ(ShiftByZone(At(2009, 5, 17, 1, 0, 0), 545), At(2009, 5, 17, 6, 45, 0));
  EXPECT_EQ(IsoTimeText(ShiftByZone(At(2009, 5, 17, 20, 0, 0), 900)), "2009-05-18 05:00:00");
}

TEST(TimeZone, SummerTimeMovesANegativeZoneTowardsZero) {
  EXPECT_EQ(EffectiveZone(-500, 100), -400);
  EXPECT_EQ(ShiftByZone(At(2009, 7, 1, 12, 0, 0), EffectiveZone(-500, 100)),
            At(2009, 7, 1, 8, 0, 0));
  EXPECT_EQ(EffectiveZone(900, 0), 900);
}

TEST(TimeZone, ParsesZonesAsUsersWriteThem) {
  EXPECT_EQ(ParseZone(QStringLiteral("900")), 900);
  EXPECT_EQ(ParseZone(QStringLiteral("+0900")), 900);
  EXPECT_EQ(ParseZone(QStringLiteral("-330")), -330);
  EXPECT_EQ(ParseZone(QStringLiteral("0")), 0);
  EXPECT_EQ(ParseZone(QStringLiteral("1400")), 1400);
  EXPECT_FALSE(ParseZone(QStringLiteral("960")));
  EXPECT_FALSE(ParseZone(QStringLiteral("1500")));
  EXPECT_FALSE(ParseZone(QStringLiteral("9:00")));
  EXPECT_FALSE(ParseZone(QString()));
  EXPECT_FALSE(ParseZone(QStringLiteral("+")));
  EXPECT_FALSE(ParseZone(QStringLiteral("12345")));
  EXPECT_EQ(ZoneOffsetText(-330), QStringLiteral("-03:30"));
  EXPECT_EQ(ZoneOffsetText(900), QStringLiteral("+09:00"));
}

}  // namespace
}  // namespace trevalo
