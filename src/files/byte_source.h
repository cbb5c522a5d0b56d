#pragma once
// Random-access byte sources for the log reader: a file on disk, or bytes in memory.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "files/file_identity.h"

namespace trevalo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes at `offset`; returns the count read (0 at the end), or -1 on a
  // read error.
  virtual std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;
  // The size of the data when it is known, so that readers of small data allocate little.
  virtual std::uint64_t SizeHint() const { return UINT64_MAX; }
  // Whether two threads may read at once.
  virtual bool allowsConcurrentReads() const { return false; }
};

// The position after the first line break at or after `from` (looked for over 1 MB), or
// nullopt when there is none.
std::optional<std::uint64_t> NextLineStart(ByteSource& source, std::uint64_t from);

class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;
  std::uint64_t SizeHint() const override { return bytes_.size(); }
  bool allowsConcurrentReads() const override { return true; }

 private:
  std::string_view bytes_;
};

// A file opened read-only for as long as the object lives.
class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(const QString& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // Why the open or a read failed (the system's text).
  std::string errorText() const;
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;
  std::uint64_t SizeHint() const override { return size_; }
  bool allowsConcurrentReads() const override { return true; }
  // The open file's stamp now.
  FileStamp stamp() const { return StampOf(fd_); }

 private:
  int fd_ = -1;
  std::uint64_t size_ = UINT64_MAX;
  std::string openProblem_;     // why the file could not be opened
  std::atomic<int> error_ = 0;  // the errno of a failed read
};

}  // namespace trevalo
