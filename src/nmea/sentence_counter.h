#pragma once
// Counts a log's point, lap and waypoint sentences at close to the speed of reading it.
//
// It follows the grammar of SentenceReader exactly, but looks only at the bytes that can
// start a sentence ('$' and '@'): each starts a sentence, except an '@' in the text of an
// open '$' sentence (within 255 bytes after its start with no line break between), which
// is text. A point sentence counts when its checksum holds and it starts an epoch of its
// own (point_sentence.h), as the parse takes it.

#include <array>
#include <cstdint>

#include "files/byte_source.h"
#include "nmea/point_sentence.h"

namespace trevalo {

enum class CountedKind { kNone, kPoint, kLap, kWaypoint };

struct SentenceCount {
  std::uint32_t pointCount = 0;
  std::int32_t lapCount = 0;
  std::int32_t waypointCount = 0;
  static constexpr std::size_t kRecent = 64;
  // Positions of the start characters of the first counted sentence and of the last
  // counted sentences, newest last (recentCount of them, at most kRecent).
  std::uint64_t firstCounted = 0;
  std::array<std::uint64_t, kRecent> recent{};
  std::size_t recentCount = 0;
  std::uint64_t dataSize = 0;
  bool readFailed = false;
  // Point sentences not counted for a wrong checksum.
  std::uint32_t refusedCount = 0;
  // The epochs of the first counted point sentence and of the last one whose checksum held
  // (a part counted apart may begin with another system's view of the epoch the part before
  // it ended with).
  EpochKey firstEpoch;
  EpochKey lastEpoch;
  std::uint64_t firstPoint = 0;  // the start character's position of the first counted point

  std::uint32_t countedTotal() const {
    return pointCount + static_cast<std::uint32_t>(lapCount + waypointCount);
  }
  // The i-th newest counted sentence (0 = the last one).
  std::uint64_t Recent(std::size_t i) const { return recent[(recentCount - 1 - i) % kRecent]; }
};

// The kind of the sentence that starts at `bytes` (a '$' or '@' with the following
// bytes; fewer than 8 bytes never count).
CountedKind ClassifySentence(const char* bytes, std::size_t available);

// Whether reading `source` is worth two threads: its size is known and at least
// `leastBytes`, the machine has more than one core and the source can be read from two
// threads at once.
bool WorthTwoThreads(const ByteSource& source, std::uint64_t leastBytes);

// Counts the whole data; a long log is counted in two parts on two threads when the machine
// has more than one core and the source allows it.
SentenceCount CountSentences(ByteSource& source);

// Counts the bytes from `from` (0 or the start of a line, where no sentence can be open)
// up to `end`, on the calling thread; positions stay those of the whole data.
SentenceCount CountSentencesIn(ByteSource& source, std::uint64_t from, std::uint64_t end);

// Counts the whole data in two parts, the second from the first line that starts at or after
// `splitNear`, on two threads. `source` must allow reads from two threads at once.
SentenceCount CountSentencesOnTwoThreads(ByteSource& source, std::uint64_t splitNear);

}  // namespace trevalo
