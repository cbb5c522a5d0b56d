#include "track/calendar_time.h"

#include <ctime>

#include "track/c_locale.h"

namespace trevalo {
namespace {

// Days between 1970-01-01 and the given proleptic-Gregorian date (H. Hinnant's algorithm).
// The day may exceed the month's length; the result then lies in a following month.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) {
    --q;
  }
  return q;
}

constexpr std::int64_t kSecondsPerDay = 86400;
// 0001-01-01 00:00:00 and 9999-12-31 23:59:59.
constexpr TimeValue kFirstBreakable = -62135596800;
constexpr TimeValue kLastBreakable = 253402300799;

void AppendDigits(std::string& out, int value, int width) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && n < 11);
  for (int i = n; i < width; ++i) {
    out.push_back('0');
  }
  while (n > 0) {
    out.push_back(digits[--n]);
  }
}

}  // namespace

std::optional<TimeValue> MakeTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::optional<TimeValue> MakeUtcClockTime(int year, int month, int day, int hour, int minute,
                                          int second) {
  const bool leapSecond = hour == 23 && minute == 59 && second == 60;
  return MakeTime(year, month, day, hour, minute, leapSecond ? 59 : second);
}

std::optional<CalendarFields> BreakDown(TimeValue time) {
  if (time < kFirstBreakable || time > kLastBreakable) {
    return std::nullopt;
  }
  const std::int64_t days = FloorDiv(time, kSecondsPerDay);
  const std::int64_t secondOfDay = time - days * kSecondsPerDay;
  const CivilDate date = CivilFromDays(days);
  CalendarFields fields;
  fields.year = static_cast<int>(date.year);
  fields.month = date.month;
  fields.day = date.day;
  fields.hour = static_cast<int>(secondOfDay / 3600);
  fields.minute = static_cast<int>(secondOfDay / 60 % 60);
  fields.second = static_cast<int>(secondOfDay % 60);
  // 1970-01-01 was a Thursday.
  fields.weekday = static_cast<int>(((days % 7) + 11) % 7);
  fields.yearDay = static_cast<int>(days - DaysFromCivil(date.year, 1, 1));
  return fields;
}

const QString& UsTimeFormat() {
  static const QString format = QStringLiteral("%m/%d/%Y %I:%M:%S %p");
  return format;
}

QString UsTimeText(TimeValue time) {
  return FormatTime(time, UsTimeFormat());
}

QString FormatTime(TimeValue time, const QString& format) {
  const std::optional<CalendarFields> fields = BreakDown(time);
  if (!fields) {
    return {};
  }
  std::tm tm{};
  tm.tm_year = fields->year - 1900;
  tm.tm_mon = fields->month - 1;
  tm.tm_mday = fields->day;
  tm.tm_hour = fields->hour;
  tm.tm_min = fields->minute;
  tm.tm_sec = fields->second;
  tm.tm_wday = fields->weekday;
  tm.tm_yday = fields->yearDay;
  tm.tm_isdst = 0;
  const QByteArray pattern = format.toUtf8();
  if (pattern.isEmpty()) {
    return {};
  }
  // 127 characters of up to 4 UTF-8 bytes each, checked again in characters below.
  char buffer[127 * 4 + 1];
  const std::size_t length = strftime_l(buffer, sizeof buffer, pattern.constData(), &tm, CLocale());
  if (length == 0) {
    return {};
  }
  QString text = QString::fromUtf8(buffer, static_cast<qsizetype>(length));
  if (text.size() > 127) {
    return {};
  }
  return text;
}

namespace {

// "YYYY-MM-DD", `separator`, "HH:MM:SS".
void AppendDateAndTime(std::string& text, const CalendarFields& f, char separator) {
  AppendDigits(text, f.year, 4);
  text.push_back('-');
  AppendDigits(text, f.month, 2);
  text.push_back('-');
  AppendDigits(text, f.day, 2);
  text.push_back(separator);
  AppendDigits(text, f.hour, 2);
  text.push_back(':');
  AppendDigits(text, f.minute, 2);
  text.push_back(':');
  AppendDigits(text, f.second, 2);
}

}  // namespace

std::string IsoTimeText(TimeValue time) {
  std::string text;
  if (const std::optional<CalendarFields> f = BreakDown(time)) {
    text.reserve(19);
    AppendDateAndTime(text, *f, ' ');
  }
  return text;
}

void AppendIsoUtcTime(std::string& text, TimeValue time) {
  if (const std::optional<CalendarFields> f = BreakDown(time)) {
    AppendDateAndTime(text, *f, 'T');
    text.push_back('Z');
  }
}

std::string DateStampText(TimeValue time) {
  const std::optional<CalendarFields> f = BreakDown(time);
  if (!f) {
    return {};
  }
  std::string text;
  text.reserve(10);
  AppendDigits(text, f->year, 4);
  text.push_back(':');
  AppendDigits(text, f->month, 2);
  text.push_back(':');
  AppendDigits(text, f->day, 2);
  return text;
}

const std::string& DateStamps::Of(TimeValue time) {
  constexpr TimeValue kSecondsPerDay = 86400;
  const TimeValue day = time / kSecondsPerDay - (time % kSecondsPerDay < 0 ? 1 : 0);
  if (day_ != day) {
    day_ = day;
    text_ = DateStampText(time);
  }
  return text_;
}

}  // namespace trevalo
