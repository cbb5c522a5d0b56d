#pragma once
// Writing a file so that it is either the whole new content or untouched: the content goes
// to a temporary file beside the target, which is then renamed over it.

#include <cstdint>
#include <functional>
#include <span>

#include <QString>

namespace trevalo {

// `content` writes the file through the temporary file's descriptor and returns the empty
// text on success, else why it failed. `flushToDisk` makes the data reach the disk before
// the rename (for files that replace something the user cares about). A file that is
// replaced keeps its permissions. Returns the empty text on success, else why it failed.
QString WriteFileAtomically(const QString& path, const std::function<QString(int fd)>& content,
                            bool flushToDisk);
QString WriteFileAtomically(const QString& path, std::span<const std::uint8_t> bytes,
                            bool flushToDisk);

// Writes all of `bytes` to a descriptor; false on an error.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes);
// Copies `size` bytes at `offset` of one descriptor to the current position of another,
// in the kernel where it can; false on an error or when the source is shorter.
bool CopyRange(int from, std::uint64_t offset, std::uint64_t size, int to);

}  // namespace trevalo
