#pragma once
// Splits a log's byte stream into sentences.
//
// A sentence starts at '$' or '@'; its text is the bytes after the start character up to,
// not including, the first CR, LF or '$' (for '@' sentences also '@'), or the end of the
// data, and at most kMaxSentenceText bytes. The byte that ends a text is consumed with it,
// so a sentence that follows another without a line break is not seen. A text that reaches
// the limit is cut and its remaining bytes are read as bytes between sentences, where a '$'
// or '@' starts a new sentence. Both passes over a log (counting and parsing) read sentences
// through this one reader, so they always agree on which sentences exist.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/byte_source.h"

namespace trevalo {

inline constexpr std::size_t kMaxSentenceText = 255;

struct Sentence {
  char start = 0;            // '$' or '@'
  std::string_view text;     // valid until the next call to Next
  std::uint64_t offset = 0;  // position of the first text byte in the data
};

class SentenceReader {
 public:
  explicit SentenceReader(ByteSource& source, std::uint64_t startOffset = 0);

  // The next sentence; false at the end of the data or after a read error.
  bool Next(Sentence& sentence);

  bool readFailed() const { return readFailed_; }
  // Bytes read so far; the data's size once Next has returned false without a read error.
  std::uint64_t bytesRead() const { return fileOffset_ + end_; }

 private:
  // Reads more data, keeping the bytes from `keepFrom` on at the front of the buffer.
  bool Refill(std::size_t keepFrom);

  ByteSource& source_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t fileOffset_;  // data position of buffer_[0]
  bool atEnd_ = false;
  bool readFailed_ = false;
};

}  // namespace trevalo
