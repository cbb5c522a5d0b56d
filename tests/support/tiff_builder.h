#pragma once
// TIFF data written byte by byte, so that a test states every offset of the layout it needs.

#include <cstdint>
#include <string_view>
#include <vector>

#include "photo/tiff_data.h"

namespace trevalo::test {

struct TiffBuilder {
  ByteOrder order = ByteOrder::kLittle;
  std::vector<std::uint8_t> bytes;

  // A header ("II" or "MM", 42) whose IFD0 pointer (at offset 4) is still 0.
  static TiffBuilder WithHeader(ByteOrder order) {
    TiffBuilder b{order, std::vector<std::uint8_t>(8, 0)};
    b.bytes[0] = b.bytes[1] = order == ByteOrder::kLittle ? 'I' : 'M';
    b.U16(2, 42);
    return b;
  }

  void U16(std::size_t at, std::uint16_t v) { PutU16(bytes.data() + at, v, order); }
  void U32(std::size_t at, std::uint32_t v) { PutU32(bytes.data() + at, v, order); }
  std::size_t Reserve(std::size_t n) {
    const std::size_t at = bytes.size();
    bytes.insert(bytes.end(), n, std::uint8_t{0});
    return at;
  }
  void Entry(std::size_t at, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
             std::uint32_t value) {
    U16(at, tag);
    U16(at + 2, type);
    U32(at + 4, count);
    U32(at + 8, value);
  }
  // A directory of `entries` empty entries and a zero link at the end of the data.
  std::uint32_t Directory(std::size_t entries) {
    const std::size_t at = Reserve(2 + 12 * entries + 4);
    U16(at, static_cast<std::uint16_t>(entries));
    return static_cast<std::uint32_t>(at);
  }
  // Offset of entry `i` of the directory at `directory`, and of its link.
  static std::size_t EntryAt(std::uint32_t directory, std::size_t i) {
    return directory + 2 + 12 * i;
  }
  std::size_t LinkOf(std::uint32_t directory) const {
    const std::size_t count = order == ByteOrder::kLittle
                                  ? bytes[directory] | bytes[directory + 1] << 8
                                  : bytes[directory] << 8 | bytes[directory + 1];
    return EntryAt(directory, count);
  }
  // An ASCII value (with its terminating zero) out of line, at an even offset.
  std::uint32_t Text(std::string_view text) {
    if (bytes.size() % 2 != 0) {
      Reserve(1);
    }
    const std::size_t at = Reserve(text.size() + 1);
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return static_cast<std::uint32_t>(at);
  }
};

}  // namespace trevalo::test
