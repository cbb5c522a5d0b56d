#pragma once
// Calendar times of the track model: signed 64-bit second counts of a zone-less calendar.
//
// A value is built from calendar fields and broken down into the same fields by plain
// proleptic-Gregorian arithmetic (as timegm/gmtime do), never through the host's zone
// rules: a time in an hour that daylight saving skips or repeats keeps its fields, and the
// difference of two values is always the plain count of seconds between them.

#include <cstdint>
#include <optional>
#include <string>

#include <QString>

namespace trevalo {

using TimeValue = std::int64_t;

struct CalendarFields {
  int year = 1970;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;   // 0..59
  int second = 0;   // 0..59
  int weekday = 4;  // 0 = Sunday
  int yearDay = 0;  // 0..365
};

// Builds a time from calendar fields. Fields outside year >= 1900, month 1..12, day 1..31,
// hour 0..23, minute 0..59, second 0..59 are refused (nullopt). A day past the end of its
// month rolls over into the next month, as the C library's conversion does.
std::optional<TimeValue> MakeTime(int year, int month, int day, int hour, int minute, int second);

// MakeTime for a receiver's UTC clock, which writes a leap second as 23:59:60: that second
// reads as the last one of its day, 23:59:59, so that it costs no fix.
std::optional<TimeValue> MakeUtcClockTime(int year, int month, int day, int hour, int minute,
                                          int second);

// The last second of a UTC day, where a leap second is read.
inline bool IsLastSecondOfDay(TimeValue utc) {
  return (utc % 86400 + 86400) % 86400 == 86399;
}

// The time unreadable log fields fall back to: 1990-01-01 00:00:00.
inline constexpr TimeValue kDefaultTime = 631152000;

// Years 1 to 9999 can be broken down; other values have no calendar fields.
std::optional<CalendarFields> BreakDown(TimeValue time);

// Formats with strftime conversion codes (C locale, so %p is AM/PM whatever the user's
// locale). Returns the empty text when the value cannot be broken down or the result does
// not fit in 127 characters.
QString FormatTime(TimeValue time, const QString& format);

// The fixed time format of documents, map lines and charts: "%m/%d/%Y %I:%M:%S %p".
const QString& UsTimeFormat();
QString UsTimeText(TimeValue time);

// "YYYY-MM-DDTHH:MM:SSZ" of a UTC time, appended to `text` (GPX times); nothing when the
// value cannot be broken down.
void AppendIsoUtcTime(std::string& text, TimeValue time);

// "YYYY-MM-DD HH:MM:SS", the form of times in machine-readable output; empty when the value
// cannot be broken down.
std::string IsoTimeText(TimeValue time);

// "YYYY:MM:DD", the date stamp form of track points; empty when it cannot be broken down.
std::string DateStampText(TimeValue time);

// DateStampText of times that mostly fall on the day of the one before, as a log's points
// do: the text is made again only when the day changes.
class DateStamps {
 public:
  const std::string& Of(TimeValue time);

 private:
  std::optional<TimeValue> day_;
  std::string text_;
};

}  // namespace trevalo
