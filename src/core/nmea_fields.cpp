#include "core/nmea_fields.h"

#include <charconv>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/c_locale.h"

namespace trevalo {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

SentenceFields::SentenceFields(std::string_view text) : text_(text) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < size && count_ < kMaxFields; ++i) {
    const char c = data[i];
    if (c == ',' || c == '*') {
      begin_[count_] = static_cast<std::uint32_t>(begin);
      end_[count_++] = static_cast<std::uint32_t>(i);
      begin = i + 1;
    }
  }
  if (count_ < kMaxFields) {
    begin_[count_] = static_cast<std::uint32_t>(begin);
    end_[count_++] = static_cast<std::uint32_t>(size);
  }
}

double ReadReal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view rest = text.substr(i);
  const bool plainDecimal =
      !rest.empty() && (IsDigit(rest[0]) || rest[0] == '.') &&
      !(rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X'));
  if (plainDecimal) {
    double value = 0;
    const auto result = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (result.ec == std::errc()) {
      return negative ? -value : value;
    }
    if (result.ec != std::errc::result_out_of_range) {
      return 0;  // a lone "." and the like
    }
  } else if (rest.empty() || !(rest[0] == 'i' || rest[0] == 'I' || rest[0] == 'n' ||
                               rest[0] == 'N' || rest[0] == '0')) {
    return 0;
  }
  // Overflow, underflow, hexadecimal, infinity and NaN: rare enough to leave to the C library.
  return strtod_l(std::string(text).c_str(), nullptr, CLocale());
}

std::int32_t ReadInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) {
      value = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
      break;
    }
  }
  if (negative) {
    value = -value;
  }
  if (value > std::numeric_limits<std::int32_t>::max()) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(value);
}

std::optional<TimeValue> SentenceDateTime(std::string_view timeField, std::string_view dateField) {
  if (!HasDateAndTime(timeField, dateField)) {
    return kDefaultTime;
  }
  const int hour = ReadInt(timeField.substr(0, 2));
  const int minute = ReadInt(timeField.substr(2, 2));
  const int second = ReadInt(timeField.substr(4, 2));
  const int day = ReadInt(dateField.substr(0, 2));
  const int month = ReadInt(dateField.substr(2, 2));
  const int year = 2000 + ReadInt(dateField.substr(4, 2));
  return MakeTime(year, month, day, hour, minute, second);
}

}  // namespace trevalo
