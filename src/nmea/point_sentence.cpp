#include "nmea/point_sentence.h"

#include <algorithm>
#include <cstring>

#include "nmea/sentence_reader.h"
#include "nmea/sentence_stop.h"

namespace trevalo {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

// The XOR of `size` bytes, eight at a time.
unsigned char XorOf(const char* bytes, std::size_t size) {
  std::uint64_t wide = 0;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    wide ^= word;
  }
  wide ^= wide >> 32;
  wide ^= wide >> 16;
  wide ^= wide >> 8;
  auto folded = static_cast<unsigned char>(wide);
  for (; i < size; ++i) {
    folded ^= static_cast<unsigned char>(bytes[i]);
  }
  return folded;
}

}  // namespace

bool ChecksumFails(std::string_view text) {
  const std::size_t star = text.find('*');
  if (star == std::string_view::npos) {
    return false;
  }
  if (text.size() < star + 3) {
    return true;  // cut inside its checksum
  }
  const int high = HexValue(text[star + 1]);
  const int low = HexValue(text[star + 2]);
  return high < 0 || low < 0 || XorOf(text.data(), star) != high * 16 + low;
}

EpochKey EpochKey::FromFields(const char* text, std::size_t timeBegin, std::size_t timeEnd,
                              std::size_t dateBegin, std::size_t dateEnd) {
  EpochKey key;
  key.talker_ = {text[0], text[1]};
  const std::size_t timeSize = timeEnd - timeBegin;
  const std::size_t dateSize = dateEnd - dateBegin;
  if (timeSize == 0 || timeSize > kMostTime || dateSize > kMostDate) {
    return key;
  }
  std::memcpy(key.time_.data(), text + timeBegin, timeSize);
  std::memcpy(key.date_.data(), text + dateBegin, dateSize);
  key.timeSize_ = static_cast<std::uint8_t>(timeSize);
  key.dateSize_ = static_cast<std::uint8_t>(dateSize);
  return key;
}

EpochKey EpochKey::Of(std::string_view text) {
  text = text.substr(0, text.find('*'));
  // The time is field 1, the date field 9; fields are separated by commas.
  std::size_t commas[11];
  std::size_t found = 0;
  for (std::size_t i = 0; i < text.size() && found < 10; ++i) {
    if (text[i] == ',') {
      commas[found++] = i;
    }
  }
  if (found < 1 || text.size() < 2) {
    return {};
  }
  const auto fieldEnd = [&](std::size_t n) { return n < found ? commas[n] : text.size(); };
  const std::size_t dateBegin = found >= 9 ? commas[8] + 1 : text.size();
  return FromFields(text.data(), commas[0] + 1, fieldEnd(1), dateBegin,
                    found >= 9 ? fieldEnd(9) : text.size());
}

namespace {

// The n-th (from 0) set bit of `mask`, or `none` when it has fewer.
unsigned NthBit(std::uint64_t mask, unsigned n, unsigned none) {
  for (unsigned i = 0; i < n && mask != 0; ++i) {
    mask &= mask - 1;
  }
  return mask == 0 ? none : static_cast<unsigned>(__builtin_ctzll(mask));
}

}  // namespace

EpochKey PointSentenceCounter::Resolve() {
  if (pending_) {
    // The fields end within the bytes kept; at most the first 64 commas matter (ten do).
    std::uint64_t commas = 0;
    const unsigned end = rawFieldsEnd_;
    for (unsigned i = 0; i < end && i < 64; ++i) {
      commas |= static_cast<std::uint64_t>(raw_[i] == ',') << i;
    }
    if (commas == 0 || end < 2) {
      last_ = {};
    } else if (end > 64) {
      last_ = EpochKey::Of(std::string_view(raw_.data(), end));
    } else {
      const unsigned ninth = NthBit(commas, 8, end);
      last_ = EpochKey::FromFields(raw_.data(), NthBit(commas, 0, end) + 1, NthBit(commas, 1, end),
                                   ninth == end ? end : ninth + 1, NthBit(commas, 9, end));
    }
    pending_ = false;
  }
  return last_;
}

EpochKey PointSentenceCounter::last() {
  return Resolve();
}

PointSentenceCounter::Verdict PointSentenceCounter::Take(const char* text, std::size_t available) {
  unsigned stop = 0;
  unsigned char sum = 0;
  if (available >= kStopReadBytes && FindStop(text, stop, sum)) {
    return TakeStopped(text, stop, sum);
  }
  const std::string_view sentence(text, SentenceTextLength(text, available, '$'));
  if (ChecksumFails(sentence)) {
    return Verdict::kRefused;
  }
  const EpochKey previous = Resolve();
  last_ = EpochKey::Of(sentence);
  lastTalker_ = last_.talker_;
  return last_.OtherSystemOf(previous) ? Verdict::kOtherSystem : Verdict::kNewPoint;
}

PointSentenceCounter::Verdict PointSentenceCounter::TakeStopped(const char* text, unsigned stop,
                                                                unsigned char sum) {
  static_assert(kRawBytes <= kStopReadBytes);
  if (text[stop] == '*') {
    // Hex digits are no end, so two of them after the '*' lie within the text.
    static constexpr char kUpper[] = "0123456789ABCDEF";
    static constexpr char kLower[] = "0123456789abcdef";
    const char high = text[stop + 1];
    const char low = text[stop + 2];
    if ((high != kUpper[sum >> 4] && high != kLower[sum >> 4]) ||
        (low != kUpper[sum & 15] && low != kLower[sum & 15])) {
      return Verdict::kRefused;
    }
  }
  const std::array<char, 2> talker{text[0], text[1]};
  const bool otherTalker = talker != lastTalker_;
  const EpochKey previous = otherTalker ? Resolve() : EpochKey();
  std::memcpy(raw_.data(), text, kRawBytes);
  rawFieldsEnd_ = stop;
  pending_ = true;
  lastTalker_ = talker;
  return otherTalker && Resolve().OtherSystemOf(previous) ? Verdict::kOtherSystem
                                                          : Verdict::kNewPoint;
}

}  // namespace trevalo
