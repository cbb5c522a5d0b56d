#pragma once
// Reads the TIFF data of a photo's EXIF segment: the summary of its tags, the GPS directory
// it holds, and where its structures lie (which the GPS writer needs to add data without
// moving any).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "photo/photo_info.h"
#include "photo/tiff_data.h"

namespace trevalo {

// Receives every diagnostic of the EXIF reader and writer.
using ProblemSink = std::function<void(std::string_view)>;

struct TiffLayout {
  std::uint32_t ifd0Offset = 0;
  bool ifd0Readable = false;  // IFD0's entry table lies inside the data
  std::uint16_t ifd0EntryCount = 0;
  std::optional<std::uint32_t> ifd0Link;          // the link to IFD1 as stored (when inside)
  std::optional<std::uint32_t> gpsPointerEntry;   // offset of IFD0's first 0x8825 entry
  std::optional<std::uint32_t> gpsPointerTarget;  // where it leads: the directory a writer changes
  // That directory's table, link and values form one block at [gpsPointerTarget,
  // gpsBlockEnd) (word-alignment gaps aside).
  bool gpsTiles = false;
  // Tiles, is the GPS directory the reader measured (valid), and shares no byte with any
  // other structure: no other pointer or link names it (it is not also the Exif IFD, IFD0
  // or IFD1), no other directory, value or thumbnail reaches into it. Only then may it be
  // overwritten.
  bool gpsIsOneBlock = false;
  std::uint32_t gpsBlockEnd = 0;
  // End of the last byte any structure refers to (directories, values, thumbnail).
  std::uint32_t usedEnd = 8;
  // The same, counting also references that run past the end of the data (up to 65535):
  // data appended there would seem to belong to them.
  std::uint32_t claimedEnd = 8;
};

struct TiffReadResult {
  bool headerValid = false;  // "II" or "MM"
  ByteOrder order = ByteOrder::kLittle;
  ExistingGps gps;
  TiffLayout layout;
};

// `tiff` starts at the TIFF header ("II"/"MM").
TiffReadResult ReadTiff(std::span<const std::uint8_t> tiff, PhotoInfo& info,
                        const ProblemSink& report);

}  // namespace trevalo
