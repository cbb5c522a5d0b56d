#include "photo/capture_time.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "track/c_numbers.h"

namespace trevalo {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::optional<int> ZoneOffsetSeconds(std::string_view text) {
  text = Trimmed(text);
  if (text == "Z") {
    return 0;
  }
  // +HH:MM or +HHMM.
  const bool colon = text.size() == 6 && text[3] == ':';
  if ((text.size() != 6 || !colon) && text.size() != 5) {
    return std::nullopt;
  }
  if (text[0] != '+' && text[0] != '-') {
    return std::nullopt;
  }
  const std::size_t minuteAt = colon ? 4 : 3;
  if (!IsDigit(text[1]) || !IsDigit(text[2]) || !IsDigit(text[minuteAt]) ||
      !IsDigit(text[minuteAt + 1])) {
    return std::nullopt;
  }
  const int hours = (text[1] - '0') * 10 + (text[2] - '0');
  const int minutes = (text[minuteAt] - '0') * 10 + (text[minuteAt + 1] - '0');
  if (hours > 14 || minutes >= 60) {
    return std::nullopt;
  }
  const int seconds = hours * 3600 + minutes * 60;
  return text[0] == '-' ? -seconds : seconds;
}

std::optional<int> FractionMillis(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || !IsDigit(text[0])) {
    return std::nullopt;
  }
  int millis = 0;
  int scale = 100;
  for (std::size_t i = 0; i < text.size() && IsDigit(text[i]) && scale > 0; ++i, scale /= 10) {
    millis += (text[i] - '0') * scale;
  }
  return millis;
}

std::string OffsetSecondsText(int offsetSeconds) {
  const int magnitude = std::abs(offsetSeconds) / 60;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", offsetSeconds < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

std::string UtcTimeText(TimeValue clockTime, const CaptureDetail& detail) {
  if (!detail.offsetSeconds) {
    return {};
  }
  const std::optional<CalendarFields> f = BreakDown(clockTime - *detail.offsetSeconds);
  if (!f) {
    return {};
  }
  char text[40];
  const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", f->year,
                                   f->month, f->day, f->hour, f->minute, f->second);
  std::string result(text, static_cast<std::size_t>(length));
  if (detail.millis) {
    std::snprintf(text, sizeof text, ".%03d", *detail.millis);
    result += text;
  }
  return result + 'Z';
}

std::optional<TimeValue> CaptureTime(const std::string& text) {
  if (text.size() <= 18) {
    return std::nullopt;
  }
  const auto field = [&](std::size_t at, std::size_t count) {
    return ReadInt(std::string_view(text).substr(at, count));
  };
  return MakeTime(field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2));
}

CaptureDetail CaptureDetailOf(const PhotoInfo& info) {
  CaptureDetail detail;
  detail.offsetSeconds = ZoneOffsetSeconds(info.offsetTimeOriginal);
  if (!detail.offsetSeconds && info.offsetTimeOriginal.empty()) {
    detail.offsetSeconds = ZoneOffsetSeconds(info.offsetTime);
  }
  detail.millis = FractionMillis(info.subSecTimeOriginal);
  if (!detail.millis && info.subSecTimeOriginal.empty()) {
    detail.millis = FractionMillis(info.subSecTime);
  }
  return detail;
}

}  // namespace trevalo
