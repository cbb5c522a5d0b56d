#pragma once
// Puts a GPS directory into the TIFF data of an EXIF segment without moving any byte that
// is already there: maker notes hold offsets that no generic writer can correct, so data
// that moves breaks them.
//
// Without a GPS directory, a new IFD0 (the old entries plus the GPS pointer, in ascending
// tag order, with the same link to IFD1) and the GPS directory are appended, and the TIFF
// header points at the new IFD0. With one, the new directory is written over the old when
// it fits or when the old one is the last thing in the data; otherwise it is appended and
// the GPS pointer moves to it. A segment of 65520 bytes or more may only grow into zero
// padding at its end; no segment may grow past 65535 bytes.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "photo/tiff_structure.h"

namespace trevalo {

// Builds the GPS directory for a given start offset.
using GpsDirectoryBuilder = std::function<std::vector<std::uint8_t>(std::uint32_t base)>;

struct GpsWriteResult {
  std::vector<std::uint8_t> tiff;  // the new TIFF data; empty on failure
  std::string error;               // why it failed
};

// `tiff` is the TIFF data of the segment (after "Exif\0\0"), `read` what ReadTiff found in it.
GpsWriteResult WriteGpsIntoTiff(std::span<const std::uint8_t> tiff, const TiffReadResult& read,
                                const GpsDirectoryBuilder& build);

// TIFF data for a photo without EXIF: a header, an IFD0 holding only the GPS pointer, and
// the GPS directory.
std::vector<std::uint8_t> NewGpsTiff(ByteOrder order, const GpsDirectoryBuilder& build);

// The largest EXIF segment: its length field counts itself, "Exif\0\0" and the TIFF data.
inline constexpr std::size_t kMaxSegmentLength = 65535;
inline constexpr std::size_t kExifSegmentOverhead = 8;

}  // namespace trevalo
