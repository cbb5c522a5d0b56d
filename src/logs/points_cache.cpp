#include "logs/points_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include "files/atomic_file.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

// An entry: the mark, the header's length and checksum, the header (what the entry is of,
// the scan, the points' length and checksum), then the points' bytes. Numbers are in this
// machine's order and records in this build's layout: the header names the executable
// that wrote the entry, and no other reads it.
constexpr char kMark[8] = {'T', 'R', 'V', 'P', 'T', 'S', '0', '1'};
constexpr std::size_t kLeadBytes = sizeof kMark + 2 * sizeof(std::uint32_t);
constexpr std::uint32_t kMostHeaderBytes = 1 << 16;

std::uint32_t Checksum(std::string_view bytes) {
  uLong crc = crc32(0, nullptr, 0);
  while (!bytes.empty()) {
    const auto part = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), part);
    bytes.remove_prefix(part);
  }
  return static_cast<std::uint32_t>(crc);
}

class Writer {
 public:
  template <class T>
  void Put(T value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void PutText(const std::string& text) {
    Put(static_cast<std::uint32_t>(text.size()));
    bytes += text;
  }
  std::string bytes;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  template <class T>
  bool Get(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (bytes_.size() < sizeof value) {
      return false;
    }
    std::memcpy(&value, bytes_.data(), sizeof value);
    bytes_.remove_prefix(sizeof value);
    return true;
  }
  bool GetText(std::string& text) {
    std::uint32_t size = 0;
    if (!Get(size) || bytes_.size() < size) {
      return false;
    }
    text.assign(bytes_.substr(0, size));
    bytes_.remove_prefix(size);
    return true;
  }
  bool atEnd() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

struct Header {
  FileStamp program;
  FileStamp stamp;
  std::int32_t zone = 0;
  ScanResult scan;
  std::int32_t deviceValueCount = 0;
  std::uint64_t pointsBytes = 0;
  std::uint32_t pointsChecksum = 0;
};

void PutStamp(Writer& w, const FileStamp& stamp) {
  w.Put(stamp.device);
  w.Put(stamp.inode);
  w.Put(stamp.size);
  w.Put(stamp.modifiedNanoseconds);
  w.Put(stamp.changedNanoseconds);
}

bool GetStamp(Reader& r, FileStamp& stamp) {
  stamp.exists = true;
  return r.Get(stamp.device) && r.Get(stamp.inode) && r.Get(stamp.size) &&
         r.Get(stamp.modifiedNanoseconds) && r.Get(stamp.changedNanoseconds);
}

std::string HeaderBytes(const Header& h) {
  Writer w;
  PutStamp(w, h.program);
  PutStamp(w, h.stamp);
  w.Put(h.zone);
  w.Put(h.scan.pointCount);
  w.Put(h.scan.lapCount);
  w.Put(h.scan.waypointCount);
  w.Put(h.scan.refusedCount);
  w.Put(static_cast<std::uint8_t>(h.scan.hasTimes));
  w.Put(h.scan.utcStart);
  w.Put(h.scan.localStart);
  w.Put(h.scan.localEnd);
  w.Put(static_cast<std::int32_t>(h.scan.problem));
  w.Put(h.scan.problemOffset);
  w.PutText(h.scan.problemDetail);
  w.Put(h.deviceValueCount);
  w.Put(h.pointsBytes);
  w.Put(h.pointsChecksum);
  return std::move(w.bytes);
}

std::optional<Header> ParseHeader(std::string_view bytes) {
  Reader r(bytes);
  Header h;
  std::uint8_t hasTimes = 0;
  std::int32_t problem = 0;
  if (!GetStamp(r, h.program) || !GetStamp(r, h.stamp) || !r.Get(h.zone) ||
      !r.Get(h.scan.pointCount) || !r.Get(h.scan.lapCount) || !r.Get(h.scan.waypointCount) ||
      !r.Get(h.scan.refusedCount) || !r.Get(hasTimes) || !r.Get(h.scan.utcStart) ||
      !r.Get(h.scan.localStart) || !r.Get(h.scan.localEnd) || !r.Get(problem) ||
      !r.Get(h.scan.problemOffset) || !r.GetText(h.scan.problemDetail) ||
      !r.Get(h.deviceValueCount) || !r.Get(h.pointsBytes) || !r.Get(h.pointsChecksum) ||
      !r.atEnd() || hasTimes > 1 || problem < static_cast<int>(ScanProblem::kNone) ||
      problem > static_cast<int>(ScanProblem::kMalformed)) {
    return std::nullopt;
  }
  h.scan.hasTimes = hasTimes != 0;
  h.scan.problem = static_cast<ScanProblem>(problem);
  return h;
}

// The running executable as it is on disk: a new build or an upgrade has another stamp.
FileStamp ThisProgram() {
  static const FileStamp program = StampOf(QStringLiteral("/proc/self/exe"));
  return program;
}

std::int64_t NowNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Reads exactly `size` bytes at `offset`; false on an error or a shorter file.
bool ReadExactly(int fd, std::uint64_t offset, char* buffer, std::size_t size) {
  while (size > 0) {
    const ssize_t read = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    if (read < 0 && errno == EINTR) {
      continue;
    }
    if (read <= 0) {
      return false;
    }
    buffer += read;
    offset += static_cast<std::uint64_t>(read);
    size -= static_cast<std::size_t>(read);
  }
  return true;
}

// An entry file opened for reading, closed with it.
class OpenEntry {
 public:
  // Only a regular file is an entry: a link is not followed, and a pipe put in its place
  // does not make the open wait for a writer.
  explicit OpenEntry(const QString& path)
      : fd_(::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)) {
    struct stat status {};
    if (fd_ >= 0 && (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))) {
      ::close(fd_);
      fd_ = -1;
    }
    size_ = fd_ >= 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
  }
  ~OpenEntry() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  OpenEntry(const OpenEntry&) = delete;
  OpenEntry& operator=(const OpenEntry&) = delete;

  // The header, when the entry is of `program`, `stamp` and `zone`, the header is intact and
  // the entry's size is the header's and that of the points it counts.
  std::optional<Header> ReadHeader(const FileStamp& program, const FileStamp& stamp, int zone) {
    char lead[kLeadBytes];
    if (fd_ < 0 || !ReadExactly(fd_, 0, lead, sizeof lead) ||
        std::memcmp(lead, kMark, sizeof kMark) != 0) {
      return std::nullopt;
    }
    std::uint32_t headerBytes = 0;
    std::uint32_t checksum = 0;
    std::memcpy(&headerBytes, lead + sizeof kMark, sizeof headerBytes);
    std::memcpy(&checksum, lead + sizeof kMark + sizeof headerBytes, sizeof checksum);
    if (headerBytes > kMostHeaderBytes) {
      return std::nullopt;
    }
    std::string bytes(headerBytes, '\0');
    if (!ReadExactly(fd_, kLeadBytes, bytes.data(), bytes.size()) || Checksum(bytes) != checksum) {
      return std::nullopt;
    }
    std::optional<Header> header = ParseHeader(bytes);
    headerEnd_ = kLeadBytes + headerBytes;
    if (!header || !(header->program == program) || !(header->stamp == stamp) ||
        header->zone != zone || size_ != headerEnd_ + header->pointsBytes ||
        header->pointsBytes < PackedPoints::LeastBytesFor(header->scan.pointCount)) {
      return std::nullopt;
    }
    return header;
  }

  // The points' bytes after the header, when they are whole and intact.
  std::optional<std::string> ReadPoints(const Header& header) {
    std::string bytes(header.pointsBytes, '\0');
    if (!ReadExactly(fd_, headerEnd_, bytes.data(), bytes.size()) ||
        Checksum(bytes) != header.pointsChecksum) {
      return std::nullopt;
    }
    return bytes;
  }

  // Marks the entry as just used, for Trim.
  void Touch() { ::futimens(fd_, nullptr); }

 private:
  int fd_;
  std::uint64_t size_ = 0;
  std::uint64_t headerEnd_ = 0;
};

}  // namespace

PointsCache::PointsCache(QString folder) : PointsCache(std::move(folder), Limits()) {}

PointsCache::PointsCache(QString folder, Limits limits)
    : folder_(std::move(folder)),
      limits_(std::move(limits)),
      program_(limits_.program.value_or(ThisProgram())) {}

QString PointsCache::EntryPath(const FileStamp& stamp, int effectiveZone) const {
  return QStringLiteral("%1/%2-%3-%4.points")
      .arg(folder_)
      .arg(stamp.device, 0, 16)
      .arg(stamp.inode, 0, 16)
      .arg(effectiveZone);
}

bool PointsCache::Serves(const FileStamp& stamp) const {
  return program_.exists && stamp.exists && stamp.size >= limits_.leastLogBytes;
}

std::optional<ScanResult> PointsCache::FindScan(const FileStamp& stamp, int effectiveZone) const {
  if (!Serves(stamp)) {
    return std::nullopt;
  }
  OpenEntry entry(EntryPath(stamp, effectiveZone));
  std::optional<Header> header = entry.ReadHeader(program_, stamp, effectiveZone);
  if (!header) {
    return std::nullopt;
  }
  return std::move(header->scan);
}

std::optional<PointsCache::Entry> PointsCache::Find(const FileStamp& stamp,
                                                    int effectiveZone) const {
  if (!Serves(stamp)) {
    return std::nullopt;
  }
  OpenEntry file(EntryPath(stamp, effectiveZone));
  std::optional<Header> header = file.ReadHeader(program_, stamp, effectiveZone);
  if (!header) {
    return std::nullopt;
  }
  const std::optional<std::string> bytes = file.ReadPoints(*header);
  if (!bytes) {
    return std::nullopt;
  }
  std::optional<PackedPoints> points = PackedPoints::FromBytes(*bytes);
  if (!points || points->size() != header->scan.pointCount) {
    return std::nullopt;
  }
  file.Touch();
  return Entry{std::move(header->scan), header->deviceValueCount, std::move(*points)};
}

void PointsCache::Keep(const FileStamp& stamp, int effectiveZone, const ScanResult& scan,
                       std::int32_t deviceValueCount, const PackedPoints& points) const {
  const std::int64_t now = NowNanoseconds();
  const std::int64_t settled = std::int64_t{limits_.settledSeconds} * 1'000'000'000;
  if (!Serves(stamp) || points.size() != scan.pointCount ||
      now - stamp.modifiedNanoseconds < settled || now - stamp.changedNanoseconds < settled) {
    return;
  }
  // Known too large before a copy of the points is made.
  if (PackedPoints::LeastBytesFor(points.size()) >
      static_cast<std::uint64_t>(limits_.mostBytes / 2)) {
    return;
  }
  std::string pointBytes;
  if (!points.AppendBytes(pointBytes)) {
    return;
  }
  const std::string header =
      HeaderBytes(Header{program_, stamp, effectiveZone, scan, deviceValueCount, pointBytes.size(),
                         Checksum(pointBytes)});
  Writer lead;
  lead.bytes.append(kMark, sizeof kMark);
  lead.Put(static_cast<std::uint32_t>(header.size()));
  lead.Put(Checksum(header));
  const auto entryBytes =
      static_cast<std::int64_t>(lead.bytes.size() + header.size() + pointBytes.size());
  if (entryBytes > limits_.mostBytes / 2 || !QDir().mkpath(folder_) || !RoomFor(entryBytes)) {
    return;
  }
  AtomicFile file(EntryPath(stamp, effectiveZone), AtomicFile::Existing::kReplaceEvenALink);
  for (const std::string* part :
       std::initializer_list<const std::string*>{&lead.bytes, &header, &pointBytes}) {
    if (file.fd() < 0 ||
        !WriteAll(file.fd(), {reinterpret_cast<const std::uint8_t*>(part->data()), part->size()})) {
      return;
    }
  }
  if (file.Commit(false).isEmpty()) {
    Trim();
  }
}

bool PointsCache::RoomFor(std::int64_t bytes) const {
  struct statvfs space {};
  if (::statvfs(NativePath(folder_).constData(), &space) != 0) {
    return false;
  }
  const auto available =
      static_cast<std::int64_t>(space.f_bavail) * static_cast<std::int64_t>(space.f_frsize);
  const auto whole =
      static_cast<std::int64_t>(space.f_blocks) * static_cast<std::int64_t>(space.f_frsize);
  return available - bytes >= std::max(limits_.leastFreeBytes, whole / 20);
}

void PointsCache::Trim() const {
  QFileInfoList entries = QDir(folder_).entryInfoList({QStringLiteral("*.points")}, QDir::Files);
  std::int64_t bytes = 0;
  for (const QFileInfo& entry : entries) {
    bytes += entry.size();
  }
  if (bytes <= limits_.mostBytes) {
    return;
  }
  std::sort(entries.begin(), entries.end(), [](const QFileInfo& a, const QFileInfo& b) {
    return a.lastModified() < b.lastModified();
  });
  for (const QFileInfo& entry : entries) {
    if (bytes <= limits_.mostBytes) {
      break;
    }
    if (QFile::remove(entry.absoluteFilePath())) {
      bytes -= entry.size();
    }
  }
}

}  // namespace trevalo
