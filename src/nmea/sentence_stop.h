#pragma once
// The vector step of reading a point sentence for the count: where its fields stop (its
// first '*', CR, LF or '$') and the XOR of the bytes before that. Compiled into each file
// that includes it with that file's instructions (AVX2 or the SSE2 baseline), in an unnamed
// namespace, like sentence_counter_scan.h.

#include <cstdint>

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevalo {
namespace {

// The bytes FindStop may read after `text`; it looks for the stop in the first
// kStopSearchBytes of them.
inline constexpr unsigned kStopReadBytes = 128;
inline constexpr unsigned kStopSearchBytes = 96;

// Finds the first '*', CR, LF or '$' within the first kStopSearchBytes bytes of `text` (of
// which kStopReadBytes may be read): its index in `stop` and the XOR of the bytes before it
// in `sum`. False when there is none there, or without vector instructions.
[[maybe_unused]] inline bool FindStop(const char* text, unsigned& stop, unsigned char& sum) {
#if defined(__AVX2__)
  using Vector = __m256i;
  constexpr unsigned kWidth = 32;
  const auto load = [](const char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  };
  const auto set = [](char c) { return _mm256_set1_epi8(c); };
  const auto equal = [](Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); };
  const auto either = [](Vector a, Vector b) { return _mm256_or_si256(a, b); };
  const auto bits = [](Vector v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); };
  const auto exclusive = [](Vector a, Vector b) { return _mm256_xor_si256(a, b); };
  const auto fold = [](Vector v) {
    __m128i half = _mm_xor_si128(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    half = _mm_xor_si128(half, _mm_srli_si128(half, 8));
    std::uint64_t word = static_cast<std::uint64_t>(_mm_cvtsi128_si64(half));
    word ^= word >> 32;
    word ^= word >> 16;
    word ^= word >> 8;
    return static_cast<unsigned char>(word);
  };
  alignas(32) static constexpr std::int8_t kIndex[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                         11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                                         22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
  const auto before = [](unsigned n) {
    return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(n)),
                             _mm256_load_si256(reinterpret_cast<const __m256i*>(kIndex)));
  };
  const auto both = [](Vector a, Vector b) { return _mm256_and_si256(a, b); };
  Vector total = _mm256_setzero_si256();
#elif defined(__SSE2__)
  using Vector = __m128i;
  constexpr unsigned kWidth = 16;
  const auto load = [](const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  const auto set = [](char c) { return _mm_set1_epi8(c); };
  const auto equal = [](Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); };
  const auto either = [](Vector a, Vector b) { return _mm_or_si128(a, b); };
  const auto bits = [](Vector v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); };
  const auto exclusive = [](Vector a, Vector b) { return _mm_xor_si128(a, b); };
  const auto fold = [](Vector v) {
    v = _mm_xor_si128(v, _mm_srli_si128(v, 8));
    std::uint64_t word = static_cast<std::uint64_t>(_mm_cvtsi128_si64(v));
    word ^= word >> 32;
    word ^= word >> 16;
    word ^= word >> 8;
    return static_cast<unsigned char>(word);
  };
  alignas(16) static constexpr std::int8_t kIndex[16] = {0, 1, 2,  3,  4,  5,  6,  7,
                                                         8, 9, 10, 11, 12, 13, 14, 15};
  const auto before = [](unsigned n) {
    return _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(n)),
                          _mm_load_si128(reinterpret_cast<const __m128i*>(kIndex)));
  };
  const auto both = [](Vector a, Vector b) { return _mm_and_si128(a, b); };
  Vector total = _mm_setzero_si128();
#endif
#if defined(__AVX2__) || defined(__SSE2__)
  const Vector cr = set('\r');
  const Vector lf = set('\n');
  const Vector dollar = set('$');
  const Vector asterisk = set('*');
  for (unsigned base = 0; base < kStopSearchBytes; base += kWidth) {
    const Vector chunk = load(text + base);
    const std::uint32_t stops = bits(either(either(equal(chunk, cr), equal(chunk, lf)),
                                            either(equal(chunk, dollar), equal(chunk, asterisk))));
    if (stops == 0) {
      total = exclusive(total, chunk);
      continue;
    }
    const unsigned at = static_cast<unsigned>(__builtin_ctz(stops));
    stop = base + at;
    sum = fold(exclusive(total, both(chunk, before(at))));
    return true;
  }
#else
  (void)text;
  (void)stop;
  (void)sum;
#endif
  return false;
}

}  // namespace
}  // namespace trevalo
