#pragma once
// The inner loop of the sentence counter, compiled once per instruction set
// (sentence_counter.cpp for the baseline, sentence_counter_avx2.cpp for AVX2). Everything
// with code is in an unnamed namespace, so each file keeps its own copy built with its own
// instructions; only the plain ScanState crosses between them.

#include <bit>
#include <cstdint>
#include <cstring>

#include "nmea/nmea_talker.h"
#include "nmea/sentence_counter.h"
#include "nmea/sentence_reader.h"
#include "nmea/sentence_stop.h"

namespace trevalo {

struct ScanState {
  const char* data = nullptr;  // data[0] is the byte at position `base`
  std::uint64_t base = 0;
  std::uint64_t start = 0;  // where the counting began: the start of the data or of a line
  std::size_t end = 0;      // bytes in data
  // The sentence that may still be open: its start character's position and kind.
  bool open = false;
  std::uint64_t openStart = 0;
  char openKind = 0;
  PointSentenceCounter points;
  SentenceCount count;
};

// Looks at every start character in data[from, stop); stop + 8 <= end unless at the end.
void ScanGroupsAvx2(ScanState& state, std::size_t from, std::size_t stop);

namespace {

inline bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

inline void OpenSentence(ScanState& s, std::uint64_t position, char kind) {
  s.open = true;
  s.openStart = position;
  s.openKind = kind;
}

// Whether the start character at `position` starts a sentence: every one does but an '@'
// in the text of an open '$' sentence, that is within its 255 text bytes with no line break
// between (a line break is never part of a text).
inline bool StartsSentence(ScanState& s, std::uint64_t position) {
  const char* at = s.data + (position - s.base);
  if (*at == '@' && s.open && s.openKind == '$' && position != s.start && !IsLineBreak(at[-1]) &&
      position - s.openStart <= kMaxSentenceText) {
    bool lineBreak = false;
    for (std::uint64_t i = position - 1; i > s.openStart && !lineBreak; --i) {
      lineBreak = IsLineBreak(s.data[i - s.base]);
    }
    if (!lineBreak) {
      return false;
    }
  }
  OpenSentence(s, position, *at);
  return true;
}

// Seven bytes as they lie in memory, read as the low bytes of a little-endian word.
constexpr std::uint64_t Packed(const char (&text)[8]) {
  std::uint64_t value = 0;
  for (int i = 6; i >= 0; --i) {
    value = value << 8 | static_cast<unsigned char>(text[i]);
  }
  return value;
}

inline CountedKind Classify(const char* bytes, std::size_t available) {
  if (available < 8 || static_cast<unsigned char>(bytes[7] - '0') > 9) {
    return CountedKind::kNone;
  }
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  if constexpr (std::endian::native == std::endian::big) {
    word = __builtin_bswap64(word);
  }
  word &= 0x00FFFFFFFFFFFFFFu;
  if (word == Packed("$GPRMC,")) {
    return CountedKind::kPoint;
  }
  if (word == Packed("@TRRMC,")) {
    return CountedKind::kLap;
  }
  if (word == Packed("@WPRMC,")) {
    return CountedKind::kWaypoint;
  }
  // A point sentence may come from any talker: the two talker bytes are compared apart
  // (after the logger's own, which are by far the most).
  constexpr std::uint64_t kTalkerBytes = 0x0000000000FFFF00u;
  if ((word & ~kTalkerBytes) == (Packed("$GPRMC,") & ~kTalkerBytes) &&
      IsNavigationTalker(bytes[1], bytes[2])) {
    return CountedKind::kPoint;
  }
  return CountedKind::kNone;
}

// Counts the sentence of `kind` at data[i] (a point sentence only when its checksum holds
// and it starts an epoch).
inline void Record(ScanState& s, CountedKind kind, std::size_t i) {
  SentenceCount& count = s.count;
  const std::uint64_t position = s.base + i;
  switch (kind) {
    case CountedKind::kNone:
      return;
    case CountedKind::kPoint: {
      const char* text = s.data + i + 1;
      unsigned stop = 0;
      unsigned char sum = 0;
      const PointSentenceCounter::Verdict verdict =
          s.end - i - 1 >= kStopReadBytes && FindStop(text, stop, sum)
              ? s.points.TakeStopped(text, stop, sum)
              : s.points.Take(text, s.end - i - 1);
      switch (verdict) {
        case PointSentenceCounter::Verdict::kRefused:
          ++count.refusedCount;
          return;
        case PointSentenceCounter::Verdict::kOtherSystem:
          return;
        case PointSentenceCounter::Verdict::kNewPoint:
          break;
      }
      if (++count.pointCount == 1) {
        count.firstEpoch = s.points.last();
        count.firstPoint = position;
      }
      break;
    }
    case CountedKind::kLap:
      ++count.lapCount;
      break;
    case CountedKind::kWaypoint:
      ++count.waypointCount;
      break;
  }
  if (count.countedTotal() == 1) {
    count.firstCounted = position;
  }
  count.recent[count.recentCount % SentenceCount::kRecent] = position;
  ++count.recentCount;
}

// `StartCharacters(p)`: bit i set when p[i] is '$' or '@', for 64 bytes (readable in full).
template <typename StartCharacters>
inline void ScanGroups(ScanState& s, std::size_t from, std::size_t stop,
                       StartCharacters startCharacters) {
  for (std::size_t group = from; group < stop; group += 64) {
    std::uint64_t mask = startCharacters(s.data + group);
    if (group + 64 > stop) {
      mask &= (std::uint64_t{1} << (stop - group)) - 1;
    }
    while (mask != 0) {
      const std::size_t i = group + static_cast<std::size_t>(__builtin_ctzll(mask));
      mask &= mask - 1;
      if (StartsSentence(s, s.base + i)) {
        const CountedKind kind = Classify(s.data + i, s.end - i);
        if (kind != CountedKind::kNone) {
          Record(s, kind, i);
        }
      }
    }
  }
}

}  // namespace
}  // namespace trevalo
