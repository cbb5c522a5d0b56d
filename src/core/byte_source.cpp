#include "core/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "core/native_path.h"

namespace trevalo {

std::int64_t MemoryByteSource::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (offset >= bytes_.size()) {
    return 0;
  }
  const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, count);
  return static_cast<std::int64_t>(count);
}

FileByteSource::FileByteSource(const QString& path) {
  const QByteArray name = NativePath(path);
  fd_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    errorText_ = std::strerror(errno);
    return;
  }
  struct stat status {};
  if (::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode)) {
    size_ = static_cast<std::uint64_t>(status.st_size);
  }
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

std::int64_t FileByteSource::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (fd_ < 0) {
    return -1;
  }
  for (;;) {
    const ssize_t count = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
    if (count >= 0) {
      return count;
    }
    if (errno != EINTR) {
      errorText_ = std::strerror(errno);
      return -1;
    }
  }
}

}  // namespace trevalo
