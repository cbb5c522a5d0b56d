#include "photo/exif_file.h"

#include <sys/stat.h>
#include <cerrno>
#include <cstring>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "photo/exif_gps_writer.h"
#include "photo/gps_directory.h"

namespace trevalo {
namespace {

constexpr int kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kApp0 = 0xE0, kApp1 = 0xE1;
constexpr std::size_t kFirstRead = 64 * 1024;
constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};

bool IsStartOfFrame(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool IsExifSegment(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 + sizeof kExifHeader &&
         std::memcmp(bytes.data() + 2, kExifHeader, 4) == 0;
}

std::uint16_t BigEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

ExifFile::ExifFile(QString path, Mode mode) : path_(std::move(path)), mode_(mode) {
  errorText_ = OpenForReading(file_, path_);
}

void ExifFile::Report(std::string_view problem) {
  // Damaged data can hold thousands of faults; the first ones tell what is wrong.
  if (problems_.size() > kMaxProblems) {
    return;
  }
  const std::string_view kept =
      problems_.size() < kMaxProblems ? problem : "... more problems, not listed";
  problems_.emplace_back(kept);
  if (sink_) {
    sink_(kept);
  }
}

bool ExifFile::Fail(const char* problem) {
  Report(problem);
  errorText_ = QString::fromUtf8(problem);
  return false;
}

// Makes the first `size` bytes of the file available; false when the file is shorter. Only
// the segments are read; the image data after them stays in the file.
bool ExifFile::Ensure(std::size_t size) {
  while (bytes_.size() < size && !atEnd_) {
    const std::size_t have = bytes_.size();
    const std::size_t chunk = std::max(kFirstRead, have);
    bytes_.resize(have + chunk);
    const qint64 read =
        file_.read(reinterpret_cast<char*>(bytes_.data() + have), static_cast<qint64>(chunk));
    bytes_.resize(have + static_cast<std::size_t>(std::max<qint64>(read, 0)));
    if (read <= 0) {
      atEnd_ = true;
    }
  }
  return bytes_.size() >= size;
}

bool ExifFile::ReadSections() {
  if (!file_.isOpen()) {
    return false;
  }
  if (mode_ == kRewrite && point_ == nullptr) {
    errorText_ = QStringLiteral("no position to write");
    return false;
  }
  if (!Ensure(2) || bytes_[0] != 0xFF || bytes_[1] != kSoi) {
    errorText_ = QStringLiteral("not a JPEG file");
    return false;
  }
  // Offsets into bytes_, which may still grow (and move) while the segments are read.
  struct Found {
    int type;
    std::size_t offset;
    std::size_t size;
  };
  std::vector<Found> found;
  std::size_t position = 2;
  for (;;) {
    std::size_t fill = 0;
    while (Ensure(position + 1) && bytes_[position] == 0xFF) {
      ++position;
      if (++fill > 65535) {
        return Fail("too many padding bytes!");
      }
    }
    if (!Ensure(position + 1)) {
      return Fail("Premature end of file?");
    }
    const int marker = bytes_[position++];
    if (marker == kEoi) {
      return Fail("No image in jpeg!");
    }
    if (fill == 0 || marker < 0xC0 || (marker >= 0xD0 && marker <= kSoi)) {
      return Fail("invalid marker");
    }
    if (!Ensure(position + 2)) {
      return Fail("Premature end of file?");
    }
    const std::size_t length = BigEndian16(bytes_.data() + position);
    if (length < 2) {
      return Fail("invalid marker");
    }
    if (!Ensure(position + length)) {
      return Fail("Premature end of file?");
    }
    found.push_back({marker, position, length});
    const std::uint8_t* segment = bytes_.data() + position;
    position += length;
    if (IsStartOfFrame(marker) && length >= 7) {
      // After the length bytes: sample precision, then height and width.
      info_.height = BigEndian16(segment + 3);
      info_.width = BigEndian16(segment + 5);
    } else if (marker == kApp1 && !exifSection_ && IsExifSegment({segment, length})) {
      exifSection_ = found.size() - 1;
      tiff_ = ReadTiff({segment + 2 + sizeof kExifHeader, length - 2 - sizeof kExifHeader}, info_,
                       [this](std::string_view problem) { Report(problem); });
      existingGps_ = tiff_.gps;
    } else if (marker == kSos) {
      break;
    }
  }
  if (mode_ == kRewrite) {
    fileSize_ = static_cast<std::uint64_t>(std::max<qint64>(file_.size(), 0));
    imageDataOffset_ = position;
    readAll_ = true;
  }
  for (const Found& f : found) {
    sections_.push_back({f.type, {bytes_.data() + f.offset, f.size}});
  }
  if (!info_.dateTime.empty() && info_.dateTime[0] == '0') {
    invalidDateTime_ = true;
    errorText_ = QString::fromLatin1(kInvalidDateTimeMessage);
    return false;
  }
  return mode_ != kRewrite || RebuildExif();
}

bool ExifFile::RebuildExif() {
  const TrackPoint& point = *point_;
  const int latitudeCorrection = latitudeCorrection_;
  const int longitudeCorrection = longitudeCorrection_;
  std::vector<std::uint8_t> tiff;
  if (exifSection_) {
    const std::span<const std::uint8_t> segment = sections_[*exifSection_].bytes;
    const std::span<const std::uint8_t> oldTiff = segment.subspan(2 + sizeof kExifHeader);
    GpsWriteResult written = WriteGpsIntoTiff(oldTiff, tiff_, [&](std::uint32_t base) {
      return BuildGpsDirectory(point, latitudeCorrection, longitudeCorrection, tiff_.order, base);
    });
    if (!written.error.empty()) {
      Report(written.error);
      errorText_ = QString::fromStdString(written.error);
      return false;
    }
    tiff = std::move(written.tiff);
  } else {
    tiff = NewGpsTiff(ByteOrder::kLittle, [&](std::uint32_t base) {
      return BuildGpsDirectory(point, latitudeCorrection, longitudeCorrection, ByteOrder::kLittle,
                               base);
    });
  }
  const std::size_t length = 2 + sizeof kExifHeader + tiff.size();
  rebuiltExif_.assign({static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
  rebuiltExif_.insert(rebuiltExif_.end(), std::begin(kExifHeader), std::end(kExifHeader));
  rebuiltExif_.insert(rebuiltExif_.end(), tiff.begin(), tiff.end());
  if (exifSection_) {
    sections_[*exifSection_].bytes = rebuiltExif_;
  } else {
    // After the JFIF segment when there is one, else first.
    std::size_t at = 0;
    while (at < sections_.size() && sections_[at].type == kApp0) {
      ++at;
    }
    sections_.insert(sections_.begin() + static_cast<std::ptrdiff_t>(at), {kApp1, rebuiltExif_});
    exifSection_ = at;
  }
  return true;
}

QString ExifFile::WriteFile(const QString& path, bool flushToDisk) const {
  // A photo that was not read for rewriting is never written: the copy would lose its image.
  if (!readAll_) {
    return QStringLiteral("Can't write back - didn't read all");
  }
  std::vector<std::uint8_t> head = {0xFF, kSoi};
  for (const JpegSection& section : sections_) {
    head.push_back(0xFF);
    head.push_back(static_cast<std::uint8_t>(section.type));
    head.insert(head.end(), section.bytes.begin(), section.bytes.end());
  }
  const int source = file_.handle();
  return WriteFileAtomically(
      path,
      [&](int fd) -> QString {
        struct stat status {};
        if (::fstat(source, &status) != 0 ||
            static_cast<std::uint64_t>(status.st_size) != fileSize_) {
          return QStringLiteral("%1 changed while it was being tagged").arg(path_);
        }
        if (!WriteAll(fd, head) ||
            !CopyRange(source, imageDataOffset_, fileSize_ - imageDataOffset_, fd)) {
          return QStringLiteral("Could not write %1: %2")
              .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        return {};
      },
      flushToDisk);
}

}  // namespace trevalo
