#include "files/atomic_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <memory>

#include "files/native_files.h"
#include "files/native_path.h"
#include "files/temporary_names.h"

namespace trevalo {

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool CopyRange(int from, std::uint64_t offset, std::uint64_t size, int to) {
  auto position = static_cast<off64_t>(offset);
  while (size > 0) {
    const ssize_t copied = ::copy_file_range(from, &position, to, nullptr, size, 0);
    if (copied < 0 && errno == EINTR) {
      continue;
    }
    if (copied < 0) {
      break;  // not possible between these two files: copy through memory
    }
    if (copied == 0) {
      return false;  // the source ended early
    }
    size -= static_cast<std::uint64_t>(copied);
  }
  constexpr std::size_t kBlock = 1 << 20;
  const auto buffer = size > 0 ? std::make_unique_for_overwrite<std::uint8_t[]>(kBlock) : nullptr;
  while (size > 0) {
    const ssize_t read =
        ::pread(from, buffer.get(), std::min<std::uint64_t>(size, kBlock), position);
    if (read < 0 && errno == EINTR) {
      continue;
    }
    if (read <= 0 || !WriteAll(to, {buffer.get(), static_cast<std::size_t>(read)})) {
      return false;
    }
    position += read;
    size -= static_cast<std::uint64_t>(read);
  }
  return true;
}

namespace {

// New files are readable by all and written by their owner. (Asking for the umask would
// change it for every thread for a moment.)
constexpr mode_t kNewFileMode = 0644;
// As many links as the kernel follows in one path.
constexpr int kMostLinks = 40;

std::atomic<bool> namedTemporariesOnly{false};

QByteArray FolderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
}

QString Shown(const QByteArray& path) {
  return PathFromNative(path);
}

// A link that the kernel would not follow on opening (fs.protected_symlinks): one in a
// sticky folder that others may write, made neither by this user nor by the folder's owner.
// Another user could have put it there to make this program write over a file of ours.
bool IsForeignLinkInSharedFolder(const QByteArray& link, const struct stat& linkStatus) {
  struct stat folder {};
  return ::stat(FolderOf(link).constData(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 &&
         (folder.st_mode & S_IWOTH) != 0 && linkStatus.st_uid != ::geteuid() &&
         linkStatus.st_uid != folder.st_uid;
}

// The file a write to `path` lands on: `path` itself, or where its chain of links ends.
// Sets `problem` for a link that leads nowhere (as cp does, a dangling link is not written
// through: the file it names may be on a drive that is not there now), a chain that does
// not end, and a link of another user in a shared folder.
QByteArray FollowLinks(const QString& path, QString& problem) {
  QByteArray current = NativePath(path);
  for (int followed = 0;; ++followed) {
    struct stat status {};
    if (::lstat(current.constData(), &status) != 0) {
      if (errno == ENOENT && followed > 0) {
        problem = QStringLiteral("cannot write %1: it is a link to %2, which does not exist")
                      .arg(path, Shown(current));
      }
      return current;  // a new file, or the write says what is wrong
    }
    if (!S_ISLNK(status.st_mode)) {
      return current;
    }
    if (followed == kMostLinks) {
      errno = ELOOP;
      problem = WriteProblem(path);
      return current;
    }
    if (IsForeignLinkInSharedFolder(current, status)) {
      problem = QStringLiteral(
                    "cannot write %1: it is a link that another user made in a "
                    "shared folder")
                    .arg(path);
      return current;
    }
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(current.constData(), target.data(), target.size());
    if (length < 0) {
      problem = WriteProblem(path);
      return current;
    }
    target.truncate(length);
    current = target.startsWith('/') ? target : FolderOf(current) + '/' + target;
  }
}

// Whether the process can name its open files through /proc, which linking an unnamed file
// into a folder needs (without the privilege of linking by descriptor).
bool CanLinkUnnamedFiles() {
  static const bool available = ::access("/proc/self/fd", X_OK) == 0;
  return available;
}

QByteArray DescriptorPath(int fd) {
  return "/proc/self/fd/" + QByteArray::number(fd);
}

}  // namespace

void UseNamedTemporariesForTest(bool named) {
  namedTemporariesOnly = named;
}

QString WriteProblem(const QString& path) {
  return QStringLiteral("cannot write %1: %2").arg(path, SystemReason());
}

AtomicFile::AtomicFile(QString path, Existing existing)
    : path_(std::move(path)), existing_(existing) {
  target_ = existing_ == Existing::kReplaceEvenALink ? NativePath(path_)
                                                     : FollowLinks(path_, openProblem_);
  if (!openProblem_.isEmpty()) {
    return;
  }
  if (const QString problem = NotAFileToReplace(); !problem.isEmpty()) {
    openProblem_ = problem;
    return;
  }
  folder_ = FolderOf(target_);
  // A rename would replace a file its owner made read-only; such a file is left alone.
  if (existing_ == Existing::kKeepItsMode &&
      ::faccessat(AT_FDCWD, target_.constData(), F_OK, AT_EACCESS) == 0 &&
      ::faccessat(AT_FDCWD, target_.constData(), W_OK, AT_EACCESS) != 0) {
    openProblem_ = QStringLiteral("cannot write %1: it is read-only").arg(path_);
    return;
  }
  RemoveStaleTemporaries(folder_);
  if (!Open()) {
    openProblem_ =
        QStringLiteral("cannot write in %1: %2").arg(AbsolutePath(Shown(folder_)), SystemReason());
  }
}

bool AtomicFile::Open() {
  if (!namedTemporariesOnly && CanLinkUnnamedFiles()) {
    fd_ = ::open(folder_.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      return true;
    }
    // FAT, FUSE and some network file systems have no unnamed files: a named one.
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray name = folder_ + '/' + NewTemporaryName();
    fd_ = ::open(name.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      temporaryName_ = name;
      return true;
    }
    if (errno != EEXIST) {
      return false;
    }
  }
  return false;
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  if (!temporaryName_.isEmpty()) {
    ::unlink(temporaryName_.constData());
  }
}

// A device, a FIFO, a socket or a folder at the target is never replaced by a file: the
// system's /dev/null would become one, and a program reading the FIFO would get nothing.
QString AtomicFile::NotAFileToReplace() const {
  struct stat status {};
  if (::lstat(target_.constData(), &status) != 0 || S_ISREG(status.st_mode) ||
      (S_ISLNK(status.st_mode) && existing_ == Existing::kReplaceEvenALink)) {
    return {};
  }
  return QStringLiteral("cannot write %1: %2").arg(path_, NotARegularFile(status.st_mode));
}

QString AtomicFile::temporaryPath() const {
  if (fd_ < 0) {
    return {};
  }
  return Shown(temporaryName_.isEmpty() ? DescriptorPath(fd_) : temporaryName_);
}

// Links the unnamed temporary file into its folder under a name of its own, for the rename.
QString AtomicFile::GiveName() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QByteArray name = folder_ + '/' + NewTemporaryName();
    if (::linkat(AT_FDCWD, DescriptorPath(fd_).constData(), AT_FDCWD, name.constData(),
                 AT_SYMLINK_FOLLOW) == 0) {
      temporaryName_ = name;
      return {};
    }
    if (errno != EEXIST) {
      return WriteProblem(path_);
    }
  }
  return WriteProblem(path_);
}

QString AtomicFile::Commit(bool flushToDisk) {
  if (fd_ < 0) {
    return openProblem_.isEmpty() ? QStringLiteral("%1 was already written").arg(path_)
                                  : openProblem_;
  }
  if (flushToDisk && ::fdatasync(fd_) != 0) {
    return WriteProblem(path_);
  }
  // The mode of the file it replaces, or that of a new file (the temporary file has 0600).
  struct stat replaced {};
  const mode_t mode =
      existing_ == Existing::kKeepItsMode && ::stat(target_.constData(), &replaced) == 0
          ? replaced.st_mode & 07777
          : kNewFileMode;
  // File systems without Unix modes (FAT on a logger or a memory card) refuse the change;
  // there the mode means nothing and the file is written all the same.
  if (::fchmod(fd_, mode) != 0 && errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) {
    return WriteProblem(path_);
  }
  if (temporaryName_.isEmpty()) {
    if (const QString problem = GiveName(); !problem.isEmpty()) {
      return problem;
    }
  }
  if (const QString problem = NotAFileToReplace(); !problem.isEmpty()) {
    return problem;  // something else took the name while the file was written
  }
  if (::rename(temporaryName_.constData(), target_.constData()) != 0) {
    return QStringLiteral("cannot replace %1: %2").arg(path_, SystemReason());
  }
  NoteOwnChange(folder_);
  temporaryName_.clear();
  ::close(fd_);
  fd_ = -1;
  return {};
}

QString WriteFileAtomically(const QString& path, const std::function<QString(int fd)>& content,
                            bool flushToDisk) {
  AtomicFile file(path);
  if (file.fd() < 0) {
    return file.openProblem();
  }
  if (const QString problem = content(file.fd()); !problem.isEmpty()) {
    return problem;
  }
  return file.Commit(flushToDisk);
}

QString WriteFileAtomically(const QString& path, std::span<const std::uint8_t> bytes,
                            bool flushToDisk) {
  return WriteFileAtomically(
      path, [&](int fd) { return WriteAll(fd, bytes) ? QString() : WriteProblem(path); },
      flushToDisk);
}

QString CopyFileAtomically(const QString& source, const QString& destination, bool flushToDisk) {
  QString openProblem;
  const int from = OpenRegularFile(source, openProblem);
  if (from < 0) {
    return QStringLiteral("cannot read %1: %2").arg(source, openProblem);
  }
  struct stat status {};
  QString problem;
  if (::fstat(from, &status) != 0) {
    problem = QStringLiteral("cannot read %1: %2").arg(source, SystemReason());
  } else {
    problem = WriteFileAtomically(
        destination,
        [&](int to) {
          return CopyRange(from, 0, static_cast<std::uint64_t>(status.st_size), to)
                     ? QString()
                     : QStringLiteral("cannot copy %1 to %2: %3")
                           .arg(source, destination, SystemReason());
        },
        flushToDisk);
  }
  ::close(from);
  return problem;
}

}  // namespace trevalo
