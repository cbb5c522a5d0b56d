#include "nmea/sentence_reader.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trevalo {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

// Index of the first byte equal to one of a, b, c or d, or `size` when there is none.
std::size_t FindAnyOf(const char* data, std::size_t size, char a, char b, char c, char d) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const __m128i vc = _mm_set1_epi8(c);
  const __m128i vd = _mm_set1_epi8(d);
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, va), _mm_cmpeq_epi8(chunk, vb)),
                     _mm_or_si128(_mm_cmpeq_epi8(chunk, vc), _mm_cmpeq_epi8(chunk, vd)));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) {
      return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
#endif
  for (; i < size; ++i) {
    const char x = data[i];
    if (x == a || x == b || x == c || x == d) {
      return i;
    }
  }
  return size;
}

}  // namespace

std::size_t SentenceTextLength(const char* text, std::size_t size, char start) {
  const std::size_t limit = std::min(size, kMaxSentenceText);
  return start == '@' ? FindAnyOf(text, limit, '\r', '\n', '$', '@')
                      : FindAnyOf(text, limit, '\r', '\n', '$', '$');
}

SentenceReader::SentenceReader(ByteSource& source, std::uint64_t startOffset)
    : source_(source),
      capacity_(static_cast<std::size_t>(std::min<std::uint64_t>(
                    kBlockSize, std::max<std::uint64_t>(source.SizeHint(), 4096))) +
                kMaxSentenceText + 1),
      fileOffset_(startOffset) {
  buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
}

bool SentenceReader::Refill(std::size_t keepFrom) {
  const std::size_t kept = end_ - keepFrom;
  if (kept > 0 && keepFrom > 0) {
    std::memmove(buffer_.get(), buffer_.get() + keepFrom, kept);
  }
  fileOffset_ += keepFrom;
  pos_ -= keepFrom;
  end_ = kept;
  const std::int64_t count =
      source_.ReadAt(fileOffset_ + end_, buffer_.get() + end_, capacity_ - end_);
  if (count < 0) {
    readFailed_ = true;
    atEnd_ = true;
    return false;
  }
  if (count == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(count);
  return true;
}

bool SentenceReader::Next(Sentence& sentence) {
  for (;;) {
    const std::size_t found = FindAnyOf(buffer_.get() + pos_, end_ - pos_, '$', '@', '$', '@');
    if (pos_ + found == end_) {
      pos_ = end_;
      if (atEnd_ || !Refill(end_)) {
        return false;
      }
      continue;
    }
    const std::size_t startIndex = pos_ + found;
    const std::size_t textBegin = startIndex + 1;
    // A whole text and its terminator must be in the buffer unless the data ends first.
    if (end_ - textBegin < kMaxSentenceText + 1 && !atEnd_) {
      pos_ = startIndex;
      Refill(startIndex);
      continue;
    }
    const char start = buffer_[startIndex];
    const char* text = buffer_.get() + textBegin;
    const std::size_t length = SentenceTextLength(text, end_ - textBegin, start);
    const std::size_t textEnd = textBegin + length;
    // A line break that ends the text is consumed; a start character there, or the byte
    // after a text cut at the limit, is read next.
    pos_ = textEnd < end_ && (buffer_[textEnd] == '\r' || buffer_[textEnd] == '\n') ? textEnd + 1
                                                                                    : textEnd;
    sentence.start = start;
    sentence.text = std::string_view(text, length);
    sentence.offset = fileOffset_ + textBegin;
    return true;
  }
}

}  // namespace trevalo
