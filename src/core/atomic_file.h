#pragma once
// Writing a file so that it is either the whole new content or untouched: the bytes go to
// a temporary file beside the target, which is then renamed over it.

#include <cstdint>
#include <initializer_list>
#include <span>

#include <QString>

namespace trevalo {

// Writes the parts one after the other. `flushToDisk` makes the data reach the disk before
// the rename (for files that replace something the user cares about). A file that is
// replaced keeps its permissions. Returns the empty text on success, else why it failed.
QString WriteFileAtomically(const QString& path,
                            std::initializer_list<std::span<const std::uint8_t>> parts,
                            bool flushToDisk);

}  // namespace trevalo
