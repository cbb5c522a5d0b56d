#include "files/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "files/native_files.h"

namespace trevalo {

std::optional<std::uint64_t> NextLineStart(ByteSource& source, std::uint64_t from) {
  constexpr std::uint64_t kMostSearch = 1024 * 1024;
  char block[16 * 1024];
  for (std::uint64_t at = from; at < from + kMostSearch;) {
    const std::int64_t read = source.ReadAt(at, block, sizeof block);
    if (read <= 0) {
      return std::nullopt;
    }
    const void* found = std::memchr(block, '\n', static_cast<std::size_t>(read));
    if (found != nullptr) {
      return at + static_cast<std::uint64_t>(static_cast<const char*>(found) - block) + 1;
    }
    at += static_cast<std::uint64_t>(read);
  }
  return std::nullopt;
}

std::int64_t MemoryByteSource::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (offset >= bytes_.size()) {
    return 0;
  }
  const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, count);
  return static_cast<std::int64_t>(count);
}

FileByteSource::FileByteSource(const QString& path) {
  QString problem;
  fd_ = OpenRegularFile(path, problem);
  if (fd_ < 0) {
    openProblem_ = problem.toStdString();
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
      error_ = errno;
      return -1;
    }
  }
}

std::string FileByteSource::errorText() const {
  const int error = error_;
  return error == 0 ? openProblem_ : std::string(std::strerror(error));
}

}  // namespace trevalo
