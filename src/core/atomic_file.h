#pragma once
// Writing a file so that it is either the whole new content or untouched: the content goes
// to a temporary file beside the target, which is then renamed over it.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include <QString>

class QTemporaryFile;

namespace trevalo {

// A file being written: the bytes go to a temporary file beside `path`, which Commit
// renames over it. Destroyed without a successful Commit, it leaves `path` untouched.
class AtomicFile {
 public:
  enum class Existing {
    // A file already at `path` is refused when read-only, and the new one takes its mode.
    kKeepItsMode,
    // A file already at `path` is replaced whatever its mode (a copy the program made
    // itself, replaced by a newer one); the new file has a new file's mode.
    kReplaceAsNew,
  };
  explicit AtomicFile(QString path, Existing existing = Existing::kKeepItsMode);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  const QString& path() const { return path_; }
  // Why the temporary file could not be created; empty when it was.
  const QString& openProblem() const { return openProblem_; }
  // The temporary file's descriptor, -1 when it could not be created.
  int fd() const;
  // The temporary file's path, for writers that open files by name.
  QString temporaryPath() const;
  // Moves the temporary file over `path` (after making it reach the disk when
  // `flushToDisk`). A file that is replaced keeps its permissions. Returns the empty text
  // on success, else why it failed.
  QString Commit(bool flushToDisk);

 private:
  QString path_;
  Existing existing_;
  QString openProblem_;
  std::unique_ptr<QTemporaryFile> temporary_;
};

// The text "cannot write PATH: <the C library's reason for errno>".
QString WriteProblem(const QString& path);

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
