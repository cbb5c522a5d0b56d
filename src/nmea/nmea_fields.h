#pragma once
// Fields and numbers of a sentence text.
//
// Field 0 is the text up to the first separator; field n the text after the n-th separator
// up to the next one. Separators are ',' and '*', so a checksum reads as one more field
// (point_sentence.h checks it). Numbers are read as the C library's atoi and atof read them
// (c_numbers.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "track/c_numbers.h"
#include "track/calendar_time.h"

namespace trevalo {

class SentenceFields {
 public:
  static constexpr std::size_t kMaxFields = 20;

  explicit SentenceFields(std::string_view text);

  // Field n, or the empty text when the sentence has fewer fields (or n >= kMaxFields).
  std::string_view operator[](std::size_t n) const {
    return n < kMaxFields && n < count_ ? text_.substr(begin_[n], end_[n] - begin_[n])
                                        : std::string_view();
  }

 private:
  // Where each field begins and ends in the text; only the first count_ are set (every
  // sentence is split, most for a few fields: nothing else is written).
  std::string_view text_;
  std::array<std::uint32_t, kMaxFields> begin_;
  std::array<std::uint32_t, kMaxFields> end_;
  std::size_t count_ = 0;
};

// Date and time of a sentence from its time field (hhmmss[.sss]) and date field (ddmmyy).
// A field shorter than 6 characters gives the default time; fields out of range give
// nullopt.
std::optional<TimeValue> SentenceDateTime(std::string_view timeField, std::string_view dateField);

// Both fields are long enough to carry a date and a time.
inline bool HasDateAndTime(std::string_view timeField, std::string_view dateField) {
  return timeField.size() >= 6 && dateField.size() >= 6;
}

}  // namespace trevalo
