#pragma once
// A logger log parsed on two threads. The second thread counts the point sentences before a
// line near `splitNear` and parses from there with a fresh parser, which takes the order of
// the epochs' sentences the first decided; the calling thread parses from the start. A few
// points into its part, the second parser leaves its state where the first will find it:
// when the first parser arrives there in the same state, the second parser's points from
// there on are the ones a single parse makes, and the two parts are joined. Otherwise (a
// satellite summary carried over the split, say) the first parser simply reads on to the
// end. Either way the points and the result are exactly those of ParseLog.

#include <cstdint>

#include "files/byte_source.h"
#include "nmea/log_reader.h"
#include "track/packed_points.h"

namespace trevalo {

// Logs shorter than this are parsed on one thread: the second would hardly start.
inline constexpr std::uint64_t kLeastSplitLogBytes = 4 * 1024 * 1024;

// ParseLog into packed points, on two threads when the log is long, the machine has more
// than one core and the source can be read from two threads at once.
ParseResult ParsePackedLog(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                           PackedPoints& points);

// ParseLog into packed points on two threads, the second starting at the first line that
// starts at or after `splitNear` (on one thread when there is none, or fewer than two
// points before it). `source` must allow reads from two threads at once. `partsJoined`,
// when given, tells whether the second thread's part was used.
ParseResult ParseLogOnTwoThreads(ByteSource& source, std::uint32_t pointCount, int effectiveZone,
                                 PackedPoints& points, std::uint64_t splitNear,
                                 bool* partsJoined = nullptr);

}  // namespace trevalo
