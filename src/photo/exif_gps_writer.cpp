#include "photo/exif_gps_writer.h"

#include <algorithm>
#include <cstring>

namespace trevalo {
namespace {

constexpr std::uint16_t kTagGpsIfd = 0x8825;
constexpr std::size_t kFullSegment = 65520;

std::size_t EvenUp(std::size_t offset) {
  return offset + (offset & 1);
}

void PutGpsPointer(std::uint8_t* entry, std::uint32_t target, ByteOrder order) {
  PutU16(entry, kTagGpsIfd, order);
  PutU16(entry + 2, kTypeLong, order);
  PutU32(entry + 4, 1, order);
  PutU32(entry + 8, target, order);
}

// IFD0 again with a GPS pointer among its entries, for writing at `at`.
std::vector<std::uint8_t> Ifd0WithGpsPointer(const TiffData& d, const TiffLayout& layout,
                                             std::uint32_t gpsTarget) {
  const std::uint16_t count = layout.ifd0EntryCount;
  std::vector<std::uint8_t> ifd(2 + 12 * (std::size_t{count} + 1) + 4, 0);
  PutU16(ifd.data(), static_cast<std::uint16_t>(count + 1), d.order());
  std::uint8_t* out = ifd.data() + 2;
  bool placed = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t entry = layout.ifd0Offset + 2 + 12 * i;
    if (!placed && d.U16(entry) > kTagGpsIfd) {
      PutGpsPointer(out, gpsTarget, d.order());
      out += 12;
      placed = true;
    }
    std::memcpy(out, d.at(entry), 12);
    out += 12;
  }
  if (!placed) {
    PutGpsPointer(out, gpsTarget, d.order());
    out += 12;
  }
  PutU32(out, layout.ifd0Link.value_or(0), d.order());
  return ifd;
}

}  // namespace

GpsWriteResult WriteGpsIntoTiff(std::span<const std::uint8_t> tiff, const TiffReadResult& read,
                                const GpsDirectoryBuilder& build) {
  GpsWriteResult result;
  if (!read.headerValid) {
    result.error = "the EXIF data has no valid byte-order mark";
    return result;
  }
  const TiffLayout& layout = read.layout;
  if (!layout.ifd0Readable) {
    result.error = "the first directory (IFD0) of the EXIF data lies outside it";
    return result;
  }
  const TiffData d(tiff, read.order);
  const std::size_t length = tiff.size();
  const std::size_t directoryLength = build(0).size();

  // The very directory is there already, and IFD0's GPS pointer names it as the writer
  // would (damaged data around it aside): nothing to change.
  if (layout.gpsTiles && layout.gpsPointerTarget &&
      layout.gpsBlockEnd - *layout.gpsPointerTarget == directoryLength) {
    const std::uint32_t at = *layout.gpsPointerTarget;
    const std::vector<std::uint8_t> same = build(at);
    std::uint8_t pointer[12];
    PutGpsPointer(pointer, at, read.order);
    if (std::equal(same.begin(), same.end(), tiff.begin() + at) &&
        std::equal(pointer, pointer + 12, tiff.begin() + *layout.gpsPointerEntry)) {
      result.tiff.assign(tiff.begin(), tiff.end());
      return result;
    }
  }

  // Bytes from `free` on are zero and nothing refers to them.
  const std::size_t claimed = layout.claimedEnd;
  std::size_t free = length;
  while (free > std::max<std::size_t>(layout.usedEnd, std::min(claimed, length)) &&
         tiff[free - 1] == 0) {
    --free;
  }
  const bool fullSegment = length + kExifSegmentOverhead >= kFullSegment;
  // Appended data goes where nothing claims to be, not even a reference that runs past the
  // end of the data.
  const std::size_t appendAt = EvenUp(std::max(fullSegment ? free : length, claimed));

  std::size_t gpsAt;
  std::size_t newIfd0At = 0;
  bool newIfd0 = false;
  std::size_t clearUntil = 0;  // old directory bytes past the new one
  const bool replaceable = read.gps.present && read.gps.valid && layout.gpsIsOneBlock &&
                           layout.gpsPointerEntry.has_value() && read.gps.offset % 2 == 0;
  if (replaceable &&
      (directoryLength <= layout.gpsBlockEnd - read.gps.offset || layout.gpsBlockEnd >= free)) {
    gpsAt = read.gps.offset;
    clearUntil = layout.gpsBlockEnd;
  } else if (layout.gpsPointerEntry) {
    gpsAt = appendAt;
  } else {
    newIfd0 = true;
    newIfd0At = appendAt;
    gpsAt = EvenUp(appendAt + 2 + 12 * (std::size_t{layout.ifd0EntryCount} + 1) + 4);
  }
  const std::size_t newLength = std::max({length, gpsAt + directoryLength, clearUntil});
  if (fullSegment && newLength > length) {
    result.error = "the EXIF segment is full and its padding leaves no room for a GPS directory";
    return result;
  }
  if (newLength + kExifSegmentOverhead > kMaxSegmentLength) {
    result.error = "the EXIF data would grow past 65535 bytes, the limit of a JPEG segment";
    return result;
  }

  std::vector<std::uint8_t>& out = result.tiff;
  out.assign(tiff.begin(), tiff.end());
  out.resize(newLength, 0);
  const auto target = static_cast<std::uint32_t>(gpsAt);
  if (newIfd0) {
    const std::vector<std::uint8_t> ifd = Ifd0WithGpsPointer(d, layout, target);
    std::copy(ifd.begin(), ifd.end(), out.begin() + static_cast<std::ptrdiff_t>(newIfd0At));
    PutU32(out.data() + 4, static_cast<std::uint32_t>(newIfd0At), read.order);
  } else {
    PutGpsPointer(out.data() + *layout.gpsPointerEntry, target, read.order);
  }
  if (clearUntil > gpsAt) {
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(gpsAt),
              out.begin() + static_cast<std::ptrdiff_t>(clearUntil), 0);
  }
  const std::vector<std::uint8_t> directory = build(target);
  std::copy(directory.begin(), directory.end(), out.begin() + static_cast<std::ptrdiff_t>(gpsAt));
  return result;
}

std::vector<std::uint8_t> NewGpsTiff(ByteOrder order, const GpsDirectoryBuilder& build) {
  constexpr std::uint32_t kIfd0 = 8;
  constexpr std::uint32_t kGps = kIfd0 + 2 + 12 + 4;
  std::vector<std::uint8_t> tiff(kGps, 0);
  tiff[0] = tiff[1] = order == ByteOrder::kLittle ? 'I' : 'M';
  PutU16(tiff.data() + 2, 42, order);
  PutU32(tiff.data() + 4, kIfd0, order);
  PutU16(tiff.data() + kIfd0, 1, order);
  PutGpsPointer(tiff.data() + kIfd0 + 2, kGps, order);
  const std::vector<std::uint8_t> directory = build(kGps);
  tiff.insert(tiff.end(), directory.begin(), directory.end());
  return tiff;
}

}  // namespace trevalo
