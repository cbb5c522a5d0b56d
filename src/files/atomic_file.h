#pragma once
// Writing a file so that it is either the whole new content or untouched: the content goes
// to a temporary file beside the target, which is then renamed over it.
//
// The temporary file has no name while it is written where the file system allows
// (O_TMPFILE): a process killed then leaves nothing behind. It gets a short name of its
// own (temporary_names.h) just before the rename, or from the start where the file system
// refuses unnamed files; such names that a killed process left are removed by a later
// write in that folder.
//
// A target that is a symbolic link is written where the link leads (through a chain of
// links), and the link stays; the temporary file goes beside the file written, so that the
// rename stays within one file system. Only a regular file is replaced: a device, a FIFO,
// a socket or a folder there (or where the links lead) is refused.

#include <cstdint>
#include <functional>
#include <span>

#include <QByteArray>
#include <QString>

namespace trevalo {

// A file being written: the bytes go to a temporary file beside the file `path` names,
// which Commit renames over it. Destroyed without a successful Commit, it leaves that file
// untouched.
class AtomicFile {
 public:
  enum class Existing {
    // A file already at `path` is refused when read-only, and the new one takes its mode.
    kKeepItsMode,
    // A file already at `path` is replaced whatever its mode (a copy the program made
    // itself, replaced by a newer one); the new file has a new file's mode.
    kReplaceAsNew,
    // Whatever is at `path` is replaced, a link itself rather than where it leads: the
    // program's own files in a folder of its own, where a link can only be a mistake or a
    // trap.
    kReplaceEvenALink,
  };
  explicit AtomicFile(QString path, Existing existing = Existing::kKeepItsMode);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  const QString& path() const { return path_; }
  // Why the temporary file could not be created; empty when it was.
  const QString& openProblem() const { return openProblem_; }
  // The temporary file's descriptor, -1 when it could not be created.
  int fd() const { return fd_; }
  // A name that opens the temporary file, for writers that open files by name.
  QString temporaryPath() const;
  // The temporary file has no name in its folder (until Commit).
  bool unnamed() const { return fd_ >= 0 && temporaryName_.isEmpty(); }
  // Moves the temporary file over the file `path` names (after making it reach the disk
  // when `flushToDisk`). A file that is replaced keeps its permissions. Returns the empty text
  // on success, else why it failed.
  QString Commit(bool flushToDisk);

 private:
  bool Open();
  QString GiveName();
  QString NotAFileToReplace() const;

  QString path_;
  Existing existing_;
  QByteArray target_;  // the file written: `path` with its links followed
  QByteArray folder_;  // the folder of `target_`
  QString openProblem_;
  int fd_ = -1;
  QByteArray temporaryName_;  // the temporary file's path, empty while it has none
};

// Makes every AtomicFile of this process use a named temporary file from the start, as on
// file systems without unnamed files; for tests of that path.
void UseNamedTemporariesForTest(bool named);

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

// Copies the file at `source` to `destination` as WriteFileAtomically writes it.
QString CopyFileAtomically(const QString& source, const QString& destination, bool flushToDisk);

// Writes all of `bytes` to a descriptor; false on an error.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes);
// Copies `size` bytes at `offset` of one descriptor to the current position of another,
// in the kernel where it can; false on an error or when the source is shorter.
bool CopyRange(int from, std::uint64_t offset, std::uint64_t size, int to);

}  // namespace trevalo
