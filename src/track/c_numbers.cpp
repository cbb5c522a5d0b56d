#include "track/c_numbers.h"

#include <charconv>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <optional>
#include <string>

#include "track/c_locale.h"

namespace trevalo {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Digits with an optional fraction and nothing after them that would change the reading (no
// exponent), of at most 15 significant digits, as nearly every field of a log is written.
// Both the digits and the power of ten are exact doubles then, so one division gives the
// correctly rounded value: the same double a full conversion gives. nullopt for any other
// text.
std::optional<double> ReadShortDecimal(std::string_view text) {
  std::uint64_t digits = 0;
  int digitCount = 0;
  int fractionDigits = 0;
  bool inFraction = false;
  bool any = false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      any = true;
      if (digits == 0 && c == '0') {
        fractionDigits += inFraction ? 1 : 0;  // leading zeros are no significant digits
        continue;
      }
      if (++digitCount > 15) {
        return std::nullopt;
      }
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      fractionDigits += inFraction ? 1 : 0;
    } else if (c == '.' && !inFraction) {
      inFraction = true;
    } else {
      break;
    }
  }
  if (!any || fractionDigits >= static_cast<int>(std::size(kExactPowersOfTen)) ||
      (i < text.size() && (text[i] == 'e' || text[i] == 'E'))) {
    return std::nullopt;
  }
  return static_cast<double>(digits) / kExactPowersOfTen[fractionDigits];
}

}  // namespace

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
    if (const std::optional<double> value = ReadShortDecimal(rest)) {
      return negative ? -*value : *value;
    }
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

}  // namespace trevalo
