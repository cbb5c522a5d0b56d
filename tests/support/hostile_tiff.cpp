#include "support/hostile_tiff.h"

#include "support/tiff_builder.h"

namespace trevalo::test {
namespace {

constexpr std::uint16_t kTagMake = 0x010F, kTagDateTime = 0x0132, kTagExifIfd = 0x8769,
                        kTagGpsIfd = 0x8825, kTagInteropIfd = 0xA005;
constexpr std::uint16_t kPointerTags[] = {kTagExifIfd, kTagInteropIfd, kTagGpsIfd};

// IFD0 at offset 8 with Make, DateTime and `extra` entries left for the caller (from entry 2).
std::uint32_t HostileIfd0(TiffBuilder& b, std::size_t extra) {
  const std::uint32_t ifd0 = b.Directory(2 + extra);
  b.U32(4, ifd0);
  const std::uint32_t make = b.Text(kHostileMake);
  const std::uint32_t dateTime = b.Text(kHostileDateTime);
  b.Entry(TiffBuilder::EntryAt(ifd0, 0), kTagMake, kTypeAscii, sizeof kHostileMake, make);
  b.Entry(TiffBuilder::EntryAt(ifd0, 1), kTagDateTime, kTypeAscii, sizeof kHostileDateTime,
          dateTime);
  return ifd0;
}

}  // namespace

std::vector<std::uint8_t> SelfPointingTiff(int pointers, ByteOrder order) {
  TiffBuilder b = TiffBuilder::WithHeader(order);
  const std::uint32_t ifd0 = HostileIfd0(b, static_cast<std::size_t>(pointers));
  for (std::size_t i = 0; i < static_cast<std::size_t>(pointers); ++i) {
    b.Entry(TiffBuilder::EntryAt(ifd0, 2 + i), kTagExifIfd, kTypeLong, 1, ifd0);
  }
  return b.bytes;
}

int SharedDirectoriesEntries(int count) {
  return 3 + count * (3 * (count - 1));
}

std::vector<std::uint8_t> SharedDirectoriesTiff(int count, bool cyclic) {
  TiffBuilder b = TiffBuilder::WithHeader(ByteOrder::kLittle);
  const std::uint32_t ifd0 = HostileIfd0(b, 1);
  const auto n = static_cast<std::size_t>(count);
  std::vector<std::uint32_t> directories;
  for (std::size_t i = 0; i < n; ++i) {
    directories.push_back(b.Directory(3 * (n - 1)));
  }
  b.Entry(TiffBuilder::EntryAt(ifd0, 2), kTagExifIfd, kTypeLong, 1, directories[0]);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t entry = 0;
    for (const std::uint16_t tag : kPointerTags) {
      for (std::size_t j = 0; j < n; ++j) {
        if (j != i) {
          b.Entry(TiffBuilder::EntryAt(directories[i], entry++), tag, kTypeLong, 1, directories[j]);
        }
      }
    }
    if (i + 1 < n || cyclic) {
      b.U32(b.LinkOf(directories[i]), directories[(i + 1) % n]);
    }
  }
  return b.bytes;
}

}  // namespace trevalo::test
