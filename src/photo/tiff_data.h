#pragma once
// Bounds-checked access to TIFF data in either byte order.

#include <cstdint>
#include <cstring>
#include <span>

namespace trevalo {

enum class ByteOrder { kLittle, kBig };  // "II" and "MM"

// TIFF value types and the size of one component; 0 for an unknown type.
inline constexpr int kTypeByte = 1, kTypeAscii = 2, kTypeShort = 3, kTypeLong = 4,
                     kTypeRational = 5, kTypeSByte = 6, kTypeUndefined = 7, kTypeSShort = 8,
                     kTypeSLong = 9, kTypeSRational = 10, kTypeFloat = 11, kTypeDouble = 12;
inline constexpr int TypeSize(int type) {
  constexpr int sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type >= 1 && type <= 12 ? sizes[type] : 0;
}

class TiffData {
 public:
  TiffData(std::span<const std::uint8_t> bytes, ByteOrder order) : bytes_(bytes), order_(order) {}

  std::size_t size() const { return bytes_.size(); }
  ByteOrder order() const { return order_; }
  const std::uint8_t* at(std::size_t offset) const { return bytes_.data() + offset; }
  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  // Values at an offset that the caller has checked with Has().
  std::uint16_t U16(std::size_t offset) const {
    const std::uint8_t* p = at(offset);
    return order_ == ByteOrder::kLittle ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                                        : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
  }
  std::uint32_t U32(std::size_t offset) const {
    const std::uint8_t* p = at(offset);
    return order_ == ByteOrder::kLittle
               ? static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                     static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24
               : static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
                     static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  ByteOrder order_;
};

inline void PutU16(std::uint8_t* p, std::uint16_t value, ByteOrder order) {
  if (order == ByteOrder::kLittle) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
  } else {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
  }
}

inline void PutU32(std::uint8_t* p, std::uint32_t value, ByteOrder order) {
  if (order == ByteOrder::kLittle) {
    for (int i = 0; i < 4; ++i) {
      p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  } else {
    for (int i = 0; i < 4; ++i) {
      p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
  }
}

}  // namespace trevalo
