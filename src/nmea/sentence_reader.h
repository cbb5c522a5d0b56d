#pragma once
// Splits a log's byte stream into sentences.
//
// A sentence starts at '$' or '@'; its text is the bytes after the start character up to,
// not including, the first CR, LF or '$' (for '@' sentences also '@'), or the end of the
// data, and at most kMaxSentenceText bytes. A line break that ends a text is consumed with
// it; a start character that ends a text begins the next sentence, so that a sentence
// written right after binary data or a cut-off sentence on the same line ($$GNRMC, or a
// u-blox log's UBX frame before its NMEA) is still read (the cut one is refused by its
// checksum or its missing fields). A text that reaches the limit is cut and its remaining
// bytes are read as bytes between sentences, where a '$' or '@' starts a new sentence. Both
// passes over a log (counting and parsing) read sentences through this one grammar, so they
// always agree on which sentences exist.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "files/byte_source.h"

namespace trevalo {

inline constexpr std::size_t kMaxSentenceText = 255;

// The length of the text after a start character `start`: `text` holds the `size` bytes
// after it (the data's end may come first), of which at most kMaxSentenceText are taken.
std::size_t SentenceTextLength(const char* text, std::size_t size, char start);

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
