#include "photo/tiff_structure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace trevalo {
namespace {

constexpr std::uint16_t kTagMake = 0x010F, kTagModel = 0x0110, kTagOrientation = 0x0112,
                        kTagDateTime = 0x0132, kTagStripOffsets = 0x0111,
                        kTagStripByteCounts = 0x0117, kTagThumbnailOffset = 0x0201,
                        kTagThumbnailLength = 0x0202, kTagExposureTime = 0x829A,
                        kTagFNumber = 0x829D, kTagExifIfd = 0x8769, kTagExposureProgram = 0x8822,
                        kTagGpsIfd = 0x8825, kTagIso = 0x8827, kTagDateTimeOriginal = 0x9003,
                        kTagDateTimeDigitized = 0x9004, kTagShutterSpeed = 0x9201,
                        kTagApertureValue = 0x9202, kTagExposureBias = 0x9204,
                        kTagMaxAperture = 0x9205, kTagSubjectDistance = 0x9206,
                        kTagMeteringMode = 0x9207, kTagLightSource = 0x9208, kTagFlash = 0x9209,
                        kTagFocalLength = 0x920A, kTagInteropIfd = 0xA005,
                        kTagExposureMode = 0xA402, kTagWhiteBalance = 0xA403,
                        kTagFocalLength35mm = 0xA405, kTagContrast = 0xA408,
                        kTagSaturation = 0xA409, kTagSharpness = 0xA40A, kTagOffsetTime = 0x9010,
                        kTagOffsetTimeOriginal = 0x9011, kTagSubSecTime = 0x9290,
                        kTagSubSecTimeOriginal = 0x9291;
constexpr int kMaxDepth = 5;
constexpr std::uint32_t kMaxComponents = 65536;

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

struct Entry {
  std::uint32_t position;  // of the 12-byte entry
  std::uint16_t tag;
  std::uint16_t type;
  std::uint32_t count;
  std::uint64_t byteCount;
  std::uint32_t valueOffset;  // of the value: in the entry, or out of line
  bool outOfLine;
};

Entry ReadEntry(const TiffData& d, std::uint32_t position) {
  Entry e{};
  e.position = position;
  e.tag = d.U16(position);
  e.type = d.U16(position + 2);
  e.count = d.U32(position + 4);
  e.byteCount = static_cast<std::uint64_t>(e.count) * static_cast<std::uint64_t>(TypeSize(e.type));
  e.outOfLine = e.byteCount > 4;
  e.valueOffset = e.outOfLine ? d.U32(position + 8) : position + 8;
  return e;
}

bool IsDirectoryPointer(std::uint16_t tag) {
  return tag == kTagExifIfd || tag == kTagInteropIfd || tag == kTagGpsIfd;
}

// Where a pointer entry leads, as the tag reader follows it: the first four bytes of its
// value, whatever its type. Nothing when its value lies past the end of the data.
std::optional<std::uint32_t> PointerTarget(const TiffData& d, const Entry& e) {
  if (TypeSize(e.type) == 0 || !d.Has(e.valueOffset, std::max<std::uint64_t>(e.byteCount, 4))) {
    return std::nullopt;
  }
  return d.U32(e.valueOffset);
}

// The value of one component, converted as the C types of its TIFF type.
double Number(const TiffData& d, std::uint32_t offset, int type, const ProblemSink& report) {
  switch (type) {
    case kTypeByte:
    case kTypeUndefined:
      return *d.at(offset);
    case kTypeSByte:
      return static_cast<std::int8_t>(*d.at(offset));
    case kTypeShort:
      return d.U16(offset);
    case kTypeSShort:
      return static_cast<std::int16_t>(d.U16(offset));
    case kTypeLong:
      return d.U32(offset);
    case kTypeSLong:
      return static_cast<std::int32_t>(d.U32(offset));
    case kTypeRational:
    case kTypeSRational: {
      const auto numerator = static_cast<std::int32_t>(d.U32(offset));
      const auto denominator = static_cast<std::int32_t>(d.U32(offset + 4));
      return denominator == 0 ? 0.0 : static_cast<double>(numerator) / denominator;
    }
    case kTypeFloat: {
      const std::uint32_t bits = d.U32(offset);
      float value;
      std::memcpy(&value, &bits, 4);
      return value;
    }
    case kTypeDouble: {
      std::uint64_t bits = 0;
      for (int i = 0; i < 8; ++i) {
        const int shift = d.order() == ByteOrder::kLittle ? 8 * i : 56 - 8 * i;
        bits |= static_cast<std::uint64_t>(*d.at(offset + static_cast<std::uint32_t>(i))) << shift;
      }
      double value;
      std::memcpy(&value, &bits, 8);
      return value;
    }
    default:
      report("Illegal format code " + std::to_string(type));
      return 0;
  }
}

std::string Text(const TiffData& d, const Entry& e, std::size_t limit) {
  const auto* begin = reinterpret_cast<const char*>(d.at(e.valueOffset));
  const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(e.byteCount, limit));
  const std::size_t end = std::find(begin, begin + length, '\0') - begin;
  return std::string(begin, end);
}

// What a GPS directory holds, measured once however many pointers name it.
struct GpsMeasure {
  ExistingGps found;  // without offset and size, which depend on the pointer
  std::uint64_t size = 0;
};

// The semantic walk: the summary of the tags, with the reader's diagnostics. Each directory
// is read at most once: hostile data may point at one directory from many places, or at
// the directory that points, and every path would be walked again.
class TagReader {
 public:
  TagReader(const TiffData& d, PhotoInfo& info, ExistingGps& gps, const ProblemSink& report)
      : d_(d), info_(info), gps_(gps), report_(report) {}

  void Directory(std::uint32_t offset, int depth);

 private:
  // false: the rest of the directory is abandoned.
  bool Tag(const Entry& e, std::uint32_t directoryOffset, int depth);
  void DateField(const Entry& e, bool original);
  const GpsMeasure& MeasureGps(std::uint32_t offset);
  GpsMeasure Measure(std::uint32_t offset);

  const TiffData& d_;
  PhotoInfo& info_;
  ExistingGps& gps_;
  const ProblemSink& report_;
  bool orientationSeen_ = false;
  bool gpsFromIfd0_ = false;      // IFD0's first GPS pointer was met
  std::set<std::uint32_t> read_;  // directories whose entries were read
  std::map<std::uint32_t, GpsMeasure> measured_;
};

void TagReader::Directory(std::uint32_t offset, int depth) {
  if (depth >= kMaxDepth) {
    report_("Maximum directory nesting exceeded (corrupt exif header)");
    return;
  }
  if (!d_.Has(offset, 2)) {
    report_("Illegally sized directory");
    return;
  }
  const std::uint32_t count = d_.U16(offset);
  const std::uint64_t tableEnd = std::uint64_t{offset} + 2 + 12ull * count;
  if (tableEnd + 4 > d_.size() && tableEnd != d_.size() && tableEnd + 2 != d_.size()) {
    report_("Illegally sized directory");
    return;
  }
  if (!read_.insert(offset).second) {
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const Entry e = ReadEntry(d_, offset + 2 + 12 * i);
    if (TypeSize(e.type) == 0) {
      report_("Illegal number format " + std::to_string(e.type) + " for tag " + Hex(e.tag, 4));
      continue;
    }
    if (e.count > kMaxComponents) {
      report_("Illegal number of components " + std::to_string(e.count) + " for tag " +
              Hex(e.tag, 4));
      continue;
    }
    if (e.outOfLine && !d_.Has(e.valueOffset, e.byteCount)) {
      continue;
    }
    if (!Tag(e, offset, depth)) {
      return;
    }
  }
  if (tableEnd + 4 <= d_.size()) {
    const std::uint32_t link = d_.U32(static_cast<std::size_t>(tableEnd));
    if (link != 0) {
      if (link < d_.size()) {
        Directory(link, depth + 1);
      } else {
        report_("Illegal subdirectory link");
      }
    }
  }
}

void TagReader::DateField(const Entry& e, bool original) {
  const std::string text = Text(d_, e, 19);
  if (original) {
    info_.dateTime = text;
  }
  if (info_.dateTime.empty() || info_.dateTime[0] < '0' || info_.dateTime[0] > '9') {
    info_.dateTime = text;
  }
  if (info_.dateFieldOffsets.size() >= 10) {
    report_("More than 10 date fields!  This is nuts");
  } else {
    info_.dateFieldOffsets.push_back(e.valueOffset);
  }
}

bool TagReader::Tag(const Entry& e, std::uint32_t directoryOffset, int depth) {
  const auto value = [&] { return Number(d_, e.valueOffset, e.type, report_); };
  const auto integer = [&] {
    return static_cast<int>(std::clamp(value(), -2147483648.0, 2147483647.0));
  };
  switch (e.tag) {
    case kTagMake:
      info_.cameraMake = Text(d_, e, 31);
      break;
    case kTagModel:
      info_.cameraModel = Text(d_, e, 39);
      break;
    case kTagOrientation:
      if (!orientationSeen_) {
        orientationSeen_ = true;
        info_.orientation = integer();
      }
      break;
    case kTagDateTimeOriginal:
      DateField(e, true);
      break;
    case kTagOffsetTimeOriginal:
      info_.offsetTimeOriginal = Text(d_, e, 16);
      break;
    case kTagOffsetTime:
      info_.offsetTime = Text(d_, e, 16);
      break;
    case kTagSubSecTimeOriginal:
      info_.subSecTimeOriginal = Text(d_, e, 16);
      break;
    case kTagSubSecTime:
      info_.subSecTime = Text(d_, e, 16);
      break;
    case kTagDateTime:
    case kTagDateTimeDigitized:
      DateField(e, false);
      break;
    case kTagExposureTime: {
      info_.exposureTime = value();
      char text[128];
      if (e.type == kTypeRational || e.type == kTypeSRational) {
        const auto n = static_cast<std::int32_t>(d_.U32(e.valueOffset));
        std::int32_t denominator = static_cast<std::int32_t>(d_.U32(e.valueOffset + 4));
        if (denominator == 0) {
          denominator = 1;
        }
        if (n < denominator) {
          const std::int64_t ratio = std::int64_t{denominator} / (n == 0 ? 1 : n);
          std::snprintf(text, sizeof text, "%d/%llds (%fs)", 1, static_cast<long long>(ratio),
                        info_.exposureTime);
        } else {
          std::snprintf(text, sizeof text,
                        denominator == 1 || denominator % 10 == 0 ? "%.0fs" : "%fs",
                        info_.exposureTime);
        }
      } else {
        std::snprintf(text, sizeof text, "%fs", info_.exposureTime);
      }
      info_.exposureTimeText = text;
      break;
    }
    case kTagFNumber:
      info_.aperture = value();
      break;
    case kTagExposureProgram:
      info_.exposureProgram = integer();
      break;
    case kTagMeteringMode:
      info_.meteringMode = integer();
      break;
    case kTagFocalLength35mm:
      info_.focalLength35mm = integer();
      break;
    case kTagIso:
      info_.iso = integer();
      if (info_.iso < 50) {
        info_.iso *= 200;
      }
      break;
    case kTagShutterSpeed:
      if (info_.exposureTime == 0) {
        const double power = std::exp2(value());
        info_.exposureTime = power == 0 ? 0 : 1 / power;
        if (e.type == kTypeRational || e.type == kTypeSRational) {
          char text[16];
          std::snprintf(text, sizeof text, "%d/%d", 1,
                        static_cast<int>(std::clamp(power, -2147483648.0, 2147483647.0)));
          info_.exposureTimeText = text;
        }
      }
      break;
    case kTagApertureValue:
      info_.aperture = std::exp2(value() / 2);
      break;
    case kTagMaxAperture:
      info_.maxAperture = std::exp2(value() / 2);
      if (info_.aperture == 0) {
        info_.aperture = info_.maxAperture;
      }
      break;
    case kTagExposureBias:
      info_.hasExposureBias = true;
      info_.exposureBias = value();
      break;
    case kTagLightSource:
      info_.hasLightSource = true;
      info_.lightSource = integer();
      break;
    case kTagFlash:
      info_.hasFlash = true;
      info_.flash = integer();
      break;
    case kTagExposureMode:
      info_.hasExposureMode = true;
      info_.exposureMode = integer();
      break;
    case kTagWhiteBalance:
      info_.hasWhiteBalance = true;
      info_.whiteBalance = integer();
      break;
    case kTagContrast:
      info_.hasContrast = true;
      info_.contrast = integer();
      break;
    case kTagSaturation:
      info_.hasSaturation = true;
      info_.saturation = integer();
      break;
    case kTagSharpness:
      info_.hasSharpness = true;
      info_.sharpness = integer();
      break;
    case kTagSubjectDistance:
      info_.subjectDistance = value();
      break;
    case kTagFocalLength:
      info_.focalLength = value();
      break;
    case kTagExifIfd:
    case kTagInteropIfd: {
      const std::uint32_t target = *PointerTarget(d_, e);
      if (target >= d_.size()) {
        report_("Illegal exif or interop offset directory link");
      } else {
        Directory(target, depth + 1);
      }
      break;
    }
    case kTagGpsIfd: {
      // The photo's GPS directory is the one IFD0's first GPS pointer names, which is the
      // one a writer changes; without one, the last met.
      const bool counts = !gpsFromIfd0_;
      gpsFromIfd0_ = gpsFromIfd0_ || depth == 0;
      const std::uint32_t target = *PointerTarget(d_, e);
      if (counts) {
        gps_.offset = target;
      }
      if (target >= d_.size()) {
        report_("Illegal GPS directory link");
        break;
      }
      const GpsMeasure& measure = MeasureGps(target);
      if (counts) {
        gps_ = measure.found;
        gps_.offset = target;
        // A directory before the one that points to it is taken to hold nothing of its own.
        gps_.size =
            target < directoryOffset
                ? 0
                : static_cast<std::uint32_t>(std::min<std::uint64_t>(measure.size, UINT32_MAX));
      }
      if (!measure.found.valid) {
        report_("Invalid GPS Information");
        return false;
      }
      break;
    }
    default:
      break;
  }
  return true;
}

const GpsMeasure& TagReader::MeasureGps(std::uint32_t offset) {
  const auto known = measured_.find(offset);
  if (known != measured_.end()) {
    return known->second;
  }
  return measured_.emplace(offset, Measure(offset)).first->second;
}

// Measures a GPS directory and reads the position it holds; not valid when it is invalid.
GpsMeasure TagReader::Measure(std::uint32_t offset) {
  GpsMeasure measure;
  ExistingGps& gps = measure.found;
  gps.present = true;
  if (!d_.Has(offset, 2)) {
    report_("GPS info directory goes past end of exif");
    return measure;
  }
  const std::uint32_t count = d_.U16(offset);
  std::uint64_t size = 12ull * count + 6;
  char latitudeRef = 0;
  char longitudeRef = 0;
  std::optional<double> latitude;
  std::optional<double> longitude;
  std::optional<double> altitude;
  bool belowSea = false;
  // Denominators with more than 7 digits make the directory invalid for rewriting; the
  // position it holds is still read for display.
  bool tooPrecise = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t position = offset + 2 + 12 * i;
    if (!d_.Has(position, 12)) {
      report_("GPS info directory goes past end of exif");
      return measure;
    }
    const Entry e = ReadEntry(d_, position);
    if (TypeSize(e.type) == 0) {
      report_("Illegal number format " + std::to_string(e.type) + " for tag " + Hex(e.tag, 3));
      continue;
    }
    if (e.outOfLine) {
      size += e.byteCount;
    }
    const bool readable = d_.Has(e.valueOffset, e.byteCount);
    if (e.tag == 2 || e.tag == 4) {
      if (e.type != kTypeRational) {
        report_("Inappropriate format (] for GPS coordinates!");
        continue;
      }
      if (e.count < 3 || !readable) {
        continue;
      }
      double degrees = 0;
      for (std::uint32_t k = 0; k < 3; ++k) {
        std::uint32_t denominator = d_.U32(e.valueOffset + 8 * k + 4);
        int digits = 0;
        while (denominator > 1) {
          denominator /= 10;
          ++digits;
        }
        tooPrecise = tooPrecise || digits > 7;
        degrees += Number(d_, e.valueOffset + 8 * k, e.type, report_) / (k == 0   ? 1
                                                                         : k == 1 ? 60
                                                                                  : 3600);
      }
      (e.tag == 2 ? latitude : longitude) = degrees;
    } else if (readable && e.byteCount > 0) {
      if (e.tag == 1 && e.type == kTypeAscii) {
        latitudeRef = static_cast<char>(*d_.at(e.valueOffset));
      } else if (e.tag == 3 && e.type == kTypeAscii) {
        longitudeRef = static_cast<char>(*d_.at(e.valueOffset));
      } else if (e.tag == 5) {
        belowSea = Number(d_, e.valueOffset, e.type, report_) == 1;
      } else if (e.tag == 6) {
        altitude = Number(d_, e.valueOffset, e.type, report_);
      }
    }
  }
  measure.size = size;
  gps.valid = !tooPrecise;
  if (latitude) {
    gps.latitudeDegrees = latitudeRef == 'S' ? -*latitude : *latitude;
  }
  if (longitude) {
    gps.longitudeDegrees = longitudeRef == 'W' ? -*longitude : *longitude;
  }
  if (altitude) {
    gps.altitudeMetres = belowSea ? -*altitude : *altitude;
  }
  return measure;
}

// The structural walk: every directory reachable, every byte range they refer to, and who
// refers to what.
class LayoutReader {
 public:
  LayoutReader(const TiffData& d, TiffLayout& layout) : d_(d), layout_(layout) {}

  // Records what the directory at `offset` and those it leads to refer to.
  void Directory(std::uint32_t offset);

  // A range that something refers to: a directory's table and link or a value of one of its
  // entries (`owner` is the directory's offset), or data such as a thumbnail (owner 0).
  struct Use {
    std::uint64_t begin;
    std::uint64_t end;
    std::uint32_t owner;
  };
  static constexpr std::uint32_t kData = 0;
  const std::vector<Use>& uses() const { return uses_; }
  // How many pointers and links (and the header) name each offset.
  const std::map<std::uint32_t, int>& references() const { return references_; }
  // The walk met every directory reachable (hostile data may hold too many to walk).
  bool complete() const { return complete_; }
  bool Walked(std::uint32_t offset) const { return visited_.count(offset) != 0; }

 private:
  // Records a range that something refers to. A range past the end of the data is no
  // reference at all: readers skip such values.
  void Record(std::uint64_t begin, std::uint64_t end, std::uint32_t owner) {
    if (begin < end) {
      Claim(end);
    }
    if (begin >= end || end > d_.size()) {
      return;
    }
    layout_.usedEnd = std::max<std::uint32_t>(layout_.usedEnd, static_cast<std::uint32_t>(end));
    uses_.push_back({begin, end, owner});
  }
  // Something refers to bytes up to `end`, inside the data or not (a segment never
  // reaches past 65535 bytes, so claims beyond that can never be met).
  void Claim(std::uint64_t end) {
    if (end <= 65535) {
      layout_.claimedEnd =
          std::max<std::uint32_t>(layout_.claimedEnd, static_cast<std::uint32_t>(end));
    }
  }
  void Pairs(std::uint32_t offsetsEntry, std::uint32_t lengthsEntry);

  static constexpr std::size_t kMaxDirectories = 64;
  const TiffData& d_;
  TiffLayout& layout_;
  std::set<std::uint32_t> visited_;
  std::vector<Use> uses_;
  std::map<std::uint32_t, int> references_;
  bool complete_ = true;
};

void LayoutReader::Pairs(std::uint32_t offsetsEntry, std::uint32_t lengthsEntry) {
  const Entry offsets = ReadEntry(d_, offsetsEntry);
  const Entry lengths = ReadEntry(d_, lengthsEntry);
  // Arrays that no segment could hold are never read; parts of the others past the end
  // of the data read as 0, as zero padding appended there would.
  if (offsets.valueOffset + offsets.byteCount > 65535 ||
      lengths.valueOffset + lengths.byteCount > 65535) {
    return;
  }
  const auto element = [&](const Entry& e, std::uint32_t i) -> std::uint64_t {
    const int size = TypeSize(e.type);
    const std::uint64_t at = e.valueOffset + std::uint64_t{i} * static_cast<std::uint64_t>(size);
    if ((size != 2 && size != 4) || !d_.Has(at, static_cast<std::uint64_t>(size))) {
      return 0;
    }
    return size == 2 ? d_.U16(static_cast<std::size_t>(at)) : d_.U32(static_cast<std::size_t>(at));
  };
  const std::uint32_t n = std::min<std::uint32_t>(std::min(offsets.count, lengths.count), 4096);
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint64_t begin = element(offsets, i);
    Record(begin, begin + element(lengths, i), kData);
  }
}

void LayoutReader::Directory(std::uint32_t offset) {
  ++references_[offset];
  // Nothing lies inside the TIFF header, whose IFD0 pointer a writer may change.
  if (offset < 8 || visited_.count(offset) != 0) {
    return;
  }
  if (visited_.size() >= kMaxDirectories) {
    complete_ = false;
    return;
  }
  visited_.insert(offset);
  if (!d_.Has(offset, 2)) {
    Claim(std::uint64_t{offset} + 6);  // a count and a link, were the data to grow
    return;
  }
  std::uint32_t count = d_.U16(offset);
  const std::uint64_t tableEnd = std::uint64_t{offset} + 2 + 12ull * count;
  if (tableEnd > d_.size()) {
    // A table that runs past the end: data appended after it would be read as its entries,
    // so its whole extent is claimed and its entries within the data count already. One
    // that no segment could ever hold is never read.
    if (tableEnd + 4 > 65535) {
      return;
    }
    Claim(tableEnd + 4);
    count = static_cast<std::uint32_t>((d_.size() - offset - 2) / 12);
  }
  const bool hasLink = tableEnd + 4 <= d_.size();
  Record(offset, std::min<std::uint64_t>(hasLink ? tableEnd + 4 : tableEnd, d_.size()), offset);
  std::optional<std::uint32_t> thumbnailOffset, thumbnailLength, stripOffsets, stripLengths;
  for (std::uint32_t i = 0; i < count; ++i) {
    const Entry e = ReadEntry(d_, offset + 2 + 12 * i);
    if (TypeSize(e.type) == 0) {
      continue;
    }
    if (e.outOfLine) {
      Record(e.valueOffset, e.valueOffset + e.byteCount, offset);
    }
    // Every pointer the tag reader follows, whatever its type.
    if (IsDirectoryPointer(e.tag)) {
      if (const std::optional<std::uint32_t> target = PointerTarget(d_, e)) {
        Directory(*target);
      }
    }
    switch (e.tag) {
      case kTagThumbnailOffset:
        thumbnailOffset = e.position;
        break;
      case kTagThumbnailLength:
        thumbnailLength = e.position;
        break;
      case kTagStripOffsets:
        stripOffsets = e.position;
        break;
      case kTagStripByteCounts:
        stripLengths = e.position;
        break;
      default:
        break;
    }
  }
  if (thumbnailOffset && thumbnailLength) {
    Pairs(*thumbnailOffset, *thumbnailLength);
  }
  if (stripOffsets && stripLengths) {
    Pairs(*stripOffsets, *stripLengths);
  }
  if (hasLink) {
    const std::uint32_t link = d_.U32(static_cast<std::size_t>(tableEnd));
    if (link != 0) {
      Directory(link);
    }
  }
}

// The table (with its link) and the out-of-line values of one directory that lie in the
// data.
std::vector<std::pair<std::uint64_t, std::uint64_t>> OwnRanges(const TiffData& d,
                                                               std::uint32_t offset) {
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
  if (!d.Has(offset, 2)) {
    return ranges;
  }
  const std::uint32_t count = d.U16(offset);
  const std::uint64_t tableEnd = std::uint64_t{offset} + 2 + 12ull * count;
  if (tableEnd > d.size()) {
    return ranges;
  }
  ranges.push_back({offset, tableEnd + 4 <= d.size() ? tableEnd + 4 : tableEnd});
  for (std::uint32_t i = 0; i < count; ++i) {
    const Entry e = ReadEntry(d, offset + 2 + 12 * i);
    if (TypeSize(e.type) != 0 && e.outOfLine && d.Has(e.valueOffset, e.byteCount)) {
      ranges.push_back({e.valueOffset, e.valueOffset + e.byteCount});
    }
  }
  return ranges;
}

// Nothing but the directory at `offset`, named by one pointer, lies in [offset, end): no
// other pointer or link names it or a place inside, no other directory's table or values
// and no data reach into it, and no directory that might went unwalked. Written over, it
// changes nothing else.
bool StandsAlone(const LayoutReader& layout, std::uint32_t offset, std::uint64_t end) {
  if (!layout.complete() || !layout.Walked(offset)) {
    return false;
  }
  const auto& references = layout.references();
  for (auto it = references.lower_bound(offset); it != references.end() && it->first < end; ++it) {
    if (it->first != offset || it->second != 1) {
      return false;
    }
  }
  return std::none_of(layout.uses().begin(), layout.uses().end(), [&](const auto& use) {
    return use.begin < end && use.end > offset && use.owner != offset;
  });
}

}  // namespace

TiffReadResult ReadTiff(std::span<const std::uint8_t> tiff, PhotoInfo& info,
                        const ProblemSink& report) {
  TiffReadResult result;
  if (tiff.size() < 8 ||
      !((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'))) {
    report("Invalid Exif alignment marker.");
    return result;
  }
  result.headerValid = true;
  result.order = tiff[0] == 'I' ? ByteOrder::kLittle : ByteOrder::kBig;
  const TiffData d(tiff, result.order);
  if (d.U16(2) != 42) {
    report("Invalid Exif start (1)");
  }
  TiffLayout& layout = result.layout;
  layout.ifd0Offset = d.U32(4);
  TagReader(d, info, result.gps, report).Directory(layout.ifd0Offset, 0);

  // Where things lie, for a writer that must not move them.
  if (d.Has(layout.ifd0Offset, 2)) {
    const std::uint32_t count = d.U16(layout.ifd0Offset);
    const std::uint64_t tableEnd = std::uint64_t{layout.ifd0Offset} + 2 + 12ull * count;
    if (tableEnd <= d.size()) {
      layout.ifd0Readable = true;
      layout.ifd0EntryCount = static_cast<std::uint16_t>(count);
      if (tableEnd + 4 <= d.size()) {
        layout.ifd0Link = d.U32(static_cast<std::size_t>(tableEnd));
      }
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t position = layout.ifd0Offset + 2 + 12 * i;
        if (d.U16(position) == kTagGpsIfd) {
          layout.gpsPointerEntry = position;
          break;
        }
      }
    }
  }
  LayoutReader layoutReader(d, layout);
  layoutReader.Directory(layout.ifd0Offset);
  if (layout.gpsPointerEntry) {
    layout.gpsPointerTarget = PointerTarget(d, ReadEntry(d, *layout.gpsPointerEntry));
  }
  if (layout.gpsPointerTarget) {
    // One block: the directory's own ranges follow one another from its offset (gaps of a
    // few bytes for word alignment aside).
    const std::uint32_t gps = *layout.gpsPointerTarget;
    auto ranges = OwnRanges(d, gps);
    std::sort(ranges.begin(), ranges.end());
    std::uint64_t reached = gps;
    bool tiles = !ranges.empty() && ranges.front().first == gps;
    for (const auto& [begin, end] : ranges) {
      tiles = tiles && begin >= reached && begin - reached <= 3;
      reached = std::max(reached, end);
    }
    layout.gpsTiles = tiles && reached <= d.size();
    layout.gpsBlockEnd = static_cast<std::uint32_t>(reached);
    // The directory measured is this one (another GPS pointer may name another), it is
    // valid, and no other structure reaches into it.
    layout.gpsIsOneBlock = layout.gpsTiles && result.gps.offset == gps && result.gps.present &&
                           result.gps.valid && result.gps.size > 0 &&
                           StandsAlone(layoutReader, gps, reached);
  }
  return result;
}

}  // namespace trevalo
