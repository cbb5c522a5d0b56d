#include "nmea/nmea_fields.h"

#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevalo {

SentenceFields::SentenceFields(std::string_view text) : text_(text) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  std::size_t begin = 0;
  const auto separatorAt = [&](std::size_t i) {
    begin_[count_] = static_cast<std::uint32_t>(begin);
    end_[count_++] = static_cast<std::uint32_t>(i);
    begin = i + 1;
  };
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: every sentence is split, and most bytes are no separator.
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i asterisk = _mm_set1_epi8('*');
  for (; i + 16 <= size && count_ < kMaxFields; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, comma), _mm_cmpeq_epi8(chunk, asterisk))));
    while (mask != 0 && count_ < kMaxFields) {
      separatorAt(i + static_cast<std::size_t>(__builtin_ctz(mask)));
      mask &= mask - 1;
    }
  }
#endif
  for (; i < size && count_ < kMaxFields; ++i) {
    if (data[i] == ',' || data[i] == '*') {
      separatorAt(i);
    }
  }
  if (count_ < kMaxFields) {
    begin_[count_] = static_cast<std::uint32_t>(begin);
    end_[count_++] = static_cast<std::uint32_t>(size);
  }
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
  return MakeUtcClockTime(year, month, day, hour, minute, second);
}

}  // namespace trevalo
