#pragma once
// Random-access byte sources for the log reader: a file on disk, or bytes in memory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <QString>

namespace trevalo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes at `offset`; returns the count read (0 at the end), or -1 on a
  // read error.
  virtual std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;
  // The size of the data when it is known, so that readers of small data allocate little.
  virtual std::uint64_t SizeHint() const { return UINT64_MAX; }
};

class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;
  std::uint64_t SizeHint() const override { return bytes_.size(); }

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
  // Why the open or the last read failed (the system's text).
  const std::string& errorText() const { return errorText_; }
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;
  std::uint64_t SizeHint() const override { return size_; }

 private:
  int fd_ = -1;
  std::uint64_t size_ = UINT64_MAX;
  std::string errorText_;
};

}  // namespace trevalo
