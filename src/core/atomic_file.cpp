#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

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

}  // namespace

QString WriteProblem(const QString& path) {
  return QStringLiteral("cannot write %1: %2")
      .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
}

AtomicFile::AtomicFile(QString path, Existing existing)
    : path_(std::move(path)), existing_(existing) {
  const QFileInfo target(path_);
  // A rename would replace a file its owner made read-only; such a file is left alone.
  if (existing_ == Existing::kKeepItsMode &&
      ::faccessat(AT_FDCWD, QFile::encodeName(path_).constData(), F_OK, AT_EACCESS) == 0 &&
      ::faccessat(AT_FDCWD, QFile::encodeName(path_).constData(), W_OK, AT_EACCESS) != 0) {
    openProblem_ = QStringLiteral("cannot write %1: it is read-only").arg(path_);
    return;
  }
  temporary_ = std::make_unique<QTemporaryFile>(target.absolutePath() + QStringLiteral("/.") +
                                                target.fileName() + QStringLiteral(".XXXXXX"));
  if (!temporary_->open()) {
    openProblem_ = QStringLiteral("cannot write in %1: %2")
                       .arg(target.absolutePath(), temporary_->errorString());
    temporary_.reset();
  }
}

AtomicFile::~AtomicFile() = default;

int AtomicFile::fd() const {
  return temporary_ ? temporary_->handle() : -1;
}

QString AtomicFile::temporaryPath() const {
  return temporary_ ? temporary_->fileName() : QString();
}

QString AtomicFile::Commit(bool flushToDisk) {
  if (!temporary_) {
    return openProblem_.isEmpty() ? QStringLiteral("%1 was already written").arg(path_)
                                  : openProblem_;
  }
  if (flushToDisk && ::fdatasync(temporary_->handle()) != 0) {
    return WriteProblem(path_);
  }
  // The mode of the file it replaces, or that of a new file (QTemporaryFile makes 0600).
  struct stat replaced {};
  const mode_t mode = existing_ == Existing::kKeepItsMode &&
                              ::stat(QFile::encodeName(path_).constData(), &replaced) == 0
                          ? replaced.st_mode & 07777
                          : kNewFileMode;
  // File systems without Unix modes (FAT on a logger or a memory card) refuse the change;
  // there the mode means nothing and the file is written all the same.
  if (::fchmod(temporary_->handle(), mode) != 0 && errno != EPERM && errno != ENOSYS &&
      errno != EOPNOTSUPP) {
    return WriteProblem(path_);
  }
  if (std::rename(QFile::encodeName(temporary_->fileName()).constData(),
                  QFile::encodeName(path_).constData()) != 0) {
    return QStringLiteral("cannot replace %1: %2")
        .arg(path_, QString::fromLocal8Bit(std::strerror(errno)));
  }
  temporary_->setAutoRemove(false);
  temporary_.reset();
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

}  // namespace trevalo
