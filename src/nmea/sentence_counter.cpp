#include "nmea/sentence_counter.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "nmea/sentence_counter_scan.h"
#include "track/parallel_work.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevalo {
namespace {

constexpr std::size_t kBlockSize = 1024 * 1024;
// Bytes kept before the unprocessed part: enough to look back over a whole sentence text.
constexpr std::size_t kLookBehind = kMaxSentenceText + 1;
// Bytes a start character needs after it to be classified and its text read whole.
constexpr std::size_t kLookAhead = kMaxSentenceText + 2;

std::uint64_t StartCharactersBaseline(const char* data) {
#if defined(__SSE2__)
  const __m128i dollar = _mm_set1_epi8('$');
  const __m128i at = _mm_set1_epi8('@');
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, dollar), _mm_cmpeq_epi8(chunk, at));
    mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hits)))
            << (16 * i);
  }
  return mask;
#else
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) {
    mask |= static_cast<std::uint64_t>(data[i] == '$' || data[i] == '@') << i;
  }
  return mask;
#endif
}

void ScanGroupsBaseline(ScanState& state, std::size_t from, std::size_t stop) {
  ScanGroups(state, from, stop, StartCharactersBaseline);
}

using GroupScanner = void (*)(ScanState&, std::size_t, std::size_t);

GroupScanner ChooseGroupScanner() {
#if defined(TREVALO_HAVE_AVX2_COUNTER)
  if (__builtin_cpu_supports("avx2")) {
    return ScanGroupsAvx2;
  }
#endif
  return ScanGroupsBaseline;
}

// Logs shorter than this are counted on one thread.
constexpr std::uint64_t kLeastSplitCountBytes = 8 * 1024 * 1024;

// The count of data whose two parts were counted apart, `first` before `second`.
SentenceCount Joined(const SentenceCount& first, const SentenceCount& second) {
  SentenceCount joined = second;
  // The second part's first point is no point of its own when it is another system's view
  // of the epoch the first part ended with.
  const bool sameEpoch = first.pointCount != 0 && second.pointCount != 0 &&
                         second.firstEpoch.OtherSystemOf(first.lastEpoch);
  joined.pointCount = first.pointCount + second.pointCount - (sameEpoch ? 1 : 0);
  joined.refusedCount = first.refusedCount + second.refusedCount;
  if (first.pointCount != 0) {
    joined.firstEpoch = first.firstEpoch;
    joined.firstPoint = first.firstPoint;
    joined.lastEpoch = second.pointCount != 0 ? second.lastEpoch : first.lastEpoch;
  }
  joined.lapCount = first.lapCount + second.lapCount;
  joined.waypointCount = first.waypointCount + second.waypointCount;
  joined.readFailed = first.readFailed || second.readFailed;
  if (first.countedTotal() != 0) {
    joined.firstCounted = first.firstCounted;
  }
  // The newest counted sentences: the second part's, then as many of the first's as fit.
  std::vector<std::uint64_t> newestFirst;
  for (const SentenceCount* part : {&second, &first}) {
    const std::size_t kept = std::min(part->recentCount, SentenceCount::kRecent);
    for (std::size_t i = 0; i < kept && newestFirst.size() < SentenceCount::kRecent; ++i) {
      if (!(sameEpoch && part == &second && part->Recent(i) == second.firstPoint)) {
        newestFirst.push_back(part->Recent(i));
      }
    }
  }
  joined.recentCount = first.recentCount + second.recentCount - (sameEpoch ? 1 : 0);
  for (std::size_t i = 0; i < newestFirst.size(); ++i) {
    joined.recent[(joined.recentCount - 1 - i) % SentenceCount::kRecent] = newestFirst[i];
  }
  return joined;
}

}  // namespace

CountedKind ClassifySentence(const char* bytes, std::size_t available) {
  return Classify(bytes, available);
}

SentenceCount CountSentencesIn(ByteSource& source, std::uint64_t from, std::uint64_t end) {
  static const GroupScanner scanGroups = ChooseGroupScanner();
  // Small logs need no more than their own size (they may grow while being read: the
  // block size only limits each read).
  const std::size_t blockSize = static_cast<std::size_t>(
      std::min<std::uint64_t>(kBlockSize, std::max<std::uint64_t>(source.SizeHint(), 4096)));
  const std::size_t capacity = kLookBehind + kLookAhead + blockSize + 64;
  const auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  char* data = buffer.get();
  ScanState state;
  state.data = data;
  state.base = from;
  state.start = from;
  std::size_t next = 0;  // bytes before it are done
  bool atEnd = false;
  while (!atEnd) {
    // Keep what is still needed: the look-behind window and the unprocessed tail.
    const std::size_t keepFrom = next > kLookBehind ? next - kLookBehind : 0;
    std::memmove(data, data + keepFrom, state.end - keepFrom);
    state.base += keepFrom;
    state.end -= keepFrom;
    next -= keepFrom;
    const std::uint64_t position = state.base + state.end;
    const std::int64_t read =
        position >= end
            ? 0
            : source.ReadAt(
                  position, data + state.end,
                  static_cast<std::size_t>(std::min<std::uint64_t>(blockSize, end - position)));
    if (read < 0) {
      state.count.readFailed = true;
      atEnd = true;
    } else if (read == 0) {
      atEnd = true;
    } else {
      state.end += static_cast<std::size_t>(read);
    }
    // Until the end, leave the last bytes for the next round so every start character can
    // be classified. Zero padding lets the last 64-byte group be read whole.
    const std::size_t stop = atEnd ? state.end : state.end - std::min(state.end, kLookAhead);
    std::memset(data + state.end, 0, 64);
    scanGroups(state, next, stop);
    next = std::max(next, stop);
  }
  state.count.dataSize = state.base + state.end;
  state.count.lastEpoch = state.points.last();
  return state.count;
}

bool WorthTwoThreads(const ByteSource& source, std::uint64_t leastBytes) {
  const std::uint64_t size = source.SizeHint();
  return size != UINT64_MAX && size >= leastBytes && source.allowsConcurrentReads() &&
         WorkerThreadCount() > 1;
}

SentenceCount CountSentences(ByteSource& source) {
  if (!WorthTwoThreads(source, kLeastSplitCountBytes)) {
    return CountSentencesIn(source, 0, UINT64_MAX);
  }
  return CountSentencesOnTwoThreads(source, source.SizeHint() / 2);
}

SentenceCount CountSentencesOnTwoThreads(ByteSource& source, std::uint64_t splitNear) {
  // No sentence is open at the start of a line, so the part from there on counts alone.
  const std::optional<std::uint64_t> split = NextLineStart(source, splitNear);
  if (!split) {
    return CountSentencesIn(source, 0, UINT64_MAX);
  }
  SentenceCount first;
  std::thread thread([&] { first = CountSentencesIn(source, 0, *split); });
  const SentenceCount second = CountSentencesIn(source, *split, UINT64_MAX);
  thread.join();
  return Joined(first, second);
}

}  // namespace trevalo
