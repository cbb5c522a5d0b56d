#include "device/mount_table.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>

#include "files/native_path.h"

namespace trevalo {
namespace {

// The blank-separated fields of a line.
std::vector<QByteArrayView> Fields(QByteArrayView line) {
  std::vector<QByteArrayView> fields;
  qsizetype at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') {
      ++at;
    }
    const qsizetype start = at;
    while (at < line.size() && line[at] != ' ') {
      ++at;
    }
    if (at > start) {
      fields.push_back(line.sliced(start, at - start));
    }
  }
  return fields;
}

bool IsOctalDigit(char c) {
  return c >= '0' && c <= '7';
}

// A path field with the kernel's escapes of blank, tab, line feed and backslash decoded.
QString DecodePath(QByteArrayView field) {
  QByteArray bytes;
  bytes.reserve(field.size());
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
        IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
      bytes.append(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                     (field[i + 3] - '0')));
      i += 3;
    } else {
      bytes.append(field[i]);
    }
  }
  return PathFromNative(bytes);
}

bool ParseDeviceNumber(QByteArrayView field, unsigned& major, unsigned& minor) {
  const qsizetype colon = field.indexOf(':');
  if (colon <= 0) {
    return false;
  }
  const char* begin = field.data();
  const char* end = begin + field.size();
  const auto [afterMajor, majorError] = std::from_chars(begin, begin + colon, major);
  const auto [afterMinor, minorError] = std::from_chars(begin + colon + 1, end, minor);
  return majorError == std::errc() && afterMajor == begin + colon && minorError == std::errc() &&
         afterMinor == end;
}

// One line: "ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE SOURCE ...".
std::optional<MountedVolume> ParseLine(QByteArrayView line) {
  const std::vector<QByteArrayView> fields = Fields(line);
  if (fields.size() < 6) {
    return std::nullopt;
  }
  const auto separator = std::find(fields.begin() + 6, fields.end(), QByteArrayView("-"));
  if (separator == fields.end() || fields.end() - separator < 3) {
    return std::nullopt;
  }
  MountedVolume volume;
  if (!ParseDeviceNumber(fields[2], volume.major, volume.minor)) {
    return std::nullopt;
  }
  volume.root = DecodePath(fields[3]);
  volume.mountPoint = DecodePath(fields[4]);
  volume.source = DecodePath(*(separator + 2));
  if (!volume.mountPoint.startsWith(u'/')) {
    return std::nullopt;
  }
  return volume;
}

}  // namespace

std::vector<MountedVolume> ParseMountTable(QByteArrayView text) {
  std::vector<MountedVolume> volumes;
  qsizetype at = 0;
  while (at < text.size()) {
    qsizetype end = text.indexOf('\n', at);
    end = end < 0 ? text.size() : end;
    if (std::optional<MountedVolume> volume = ParseLine(text.sliced(at, end - at))) {
      volumes.push_back(std::move(*volume));
    }
    at = end + 1;
  }
  // Sorted stably, the mounts on one mount point stay in table order; a later one hides
  // the earlier ones, so only the last of each run is kept.
  std::ranges::stable_sort(volumes, {}, &MountedVolume::mountPoint);
  std::vector<MountedVolume> visible;
  visible.reserve(volumes.size());
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    if (i + 1 == volumes.size() || volumes[i + 1].mountPoint != volumes[i].mountPoint) {
      visible.push_back(std::move(volumes[i]));
    }
  }
  return visible;
}

QByteArray ReadWholeFile(int fd) {
  QByteArray bytes;
  constexpr qsizetype kBlock = 64 * 1024;
  for (;;) {
    const qsizetype size = bytes.size();
    bytes.resize(size + kBlock);
    const ssize_t read = ::pread(fd, bytes.data() + size, kBlock, size);
    if (read < 0 && errno == EINTR) {
      bytes.resize(size);
      continue;
    }
    bytes.resize(size + std::max<ssize_t>(read, 0));
    if (read <= 0) {
      return bytes;
    }
  }
}

std::vector<MountedVolume> ReadMountTable(const QString& path) {
  const int fd = ::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return {};
  }
  const QByteArray text = ReadWholeFile(fd);
  ::close(fd);
  return ParseMountTable(text);
}

VolumeSpace SpaceOf(const QString& mountPoint) {
  struct statvfs space {};
  if (::statvfs(NativePath(mountPoint).constData(), &space) != 0) {
    return {};
  }
  const auto unit = static_cast<std::int64_t>(space.f_frsize != 0 ? space.f_frsize : space.f_bsize);
  return {static_cast<std::int64_t>(space.f_bavail) * unit,
          static_cast<std::int64_t>(space.f_blocks) * unit};
}

QString MegabyteText(std::int64_t bytes) {
  return QStringLiteral("%1Mb").arg(bytes / (1024 * 1024));
}

}  // namespace trevalo
