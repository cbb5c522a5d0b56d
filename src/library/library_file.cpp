#include "library/library_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <thread>

#include <QDateTime>
#include <QDir>
#include <QFile>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

// A library of thousands of logs is a few megabytes; anything far larger is not one.
constexpr qint64 kMaxDatabaseBytes = 64 << 20;

QString Reason() {
  return QString::fromLocal8Bit(std::strerror(errno));
}

std::span<const std::uint8_t> Span(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
          static_cast<std::size_t>(bytes.size())};
}

// "Wayfable_Logs.DB.damaged-20261208-153000", with "-2", "-3"... when that is taken.
QString DamagedCopyPath(const QString& folder) {
  const QString stem =
      QStringLiteral("%1/%2.damaged-%3")
          .arg(folder, kDatabaseFileName,
               QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  QString path = stem;
  for (int n = 2; PathExists(path); ++n) {
    path = stem + QStringLiteral("-%1").arg(n);
  }
  return path;
}

}  // namespace

DatabaseFile ReadDatabaseFile(const QString& path) {
  DatabaseFile file;
  QString problem;
  const int fd = OpenRegularFile(path, problem);
  if (fd < 0) {
    if (errno != ENOENT) {
      file.exists = true;
      file.readProblem = QStringLiteral("%1 cannot be read: %2").arg(path, problem);
    }
    return file;
  }
  file.exists = true;
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    file.readProblem = QStringLiteral("%1 cannot be read: %2").arg(path, Reason());
  } else if (status.st_size > kMaxDatabaseBytes) {
    file.readProblem =
        QStringLiteral("%1 cannot be read: %2 bytes is far too large for a log library")
            .arg(path)
            .arg(status.st_size);
  } else {
    file.stamp = StampOf(fd);
    file.bytes.resize(static_cast<qsizetype>(status.st_size));
    qsizetype done = 0;
    while (file.readProblem.isEmpty()) {
      if (done == file.bytes.size()) {
        file.bytes.resize(done + 4096);  // the file may have grown since fstat
      }
      const ssize_t got =
          ::read(fd, file.bytes.data() + done, static_cast<std::size_t>(file.bytes.size() - done));
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        file.readProblem = QStringLiteral("%1 cannot be read: %2").arg(path, Reason());
      } else if (got == 0) {
        break;
      } else {
        done += got;
      }
    }
    file.bytes.resize(done);
  }
  ::close(fd);
  if (file.readProblem.isEmpty()) {
    file.parsed = ReadDatabase(file.bytes);
  } else {
    file.bytes.clear();
  }
  return file;
}

LibraryLock::LibraryLock(const QString& folder, std::chrono::milliseconds wait) {
  // The lock is taken on the folder itself, so that no lock file lies among the user's
  // logs; where the file system cannot lock a folder, on a hidden file in it.
  int fd = ::open(NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno != EWOULDBLOCK) {
    ::close(fd);
    fd = -1;
  }
  if (fd >= 0) {
    ::flock(fd, LOCK_UN);
  } else {
    const QString path =
        folder + QStringLiteral("/.") + kDatabaseFileName + QStringLiteral(".lock");
    // Never a FIFO or a device someone put at the name: neither waited on nor locked.
    fd = ::open(NativePath(path).constData(),
                O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
    struct stat status {};
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
      ::close(fd);
      fd = -1;
      errno = EINVAL;
    }
  }
  if (fd < 0) {
    problem_ = QStringLiteral("cannot lock the library in %1: %2").arg(folder, Reason());
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
      problem_ = errno == EWOULDBLOCK
                     ? QStringLiteral(
                           "the library in %1 is busy: another program is "
                           "changing it")
                           .arg(folder)
                     : QStringLiteral("cannot lock the library in %1: %2").arg(folder, Reason());
      ::close(fd);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  fd_ = fd;
}

LibraryLock::~LibraryLock() {
  if (fd_ >= 0) {
    ::close(fd_);  // lets the lock go
  }
}

DatabaseWrite WriteDatabaseFile(const QString& folder, const DatabaseFile& before,
                                const std::vector<LogRecord>& records) {
  DatabaseWrite result;
  QString problem;
  const std::optional<QByteArray> bytes = SerializeDatabase(records, &problem);
  if (!bytes) {
    result.problem =
        QStringLiteral("%1/%2 is not saved: %3").arg(folder, kDatabaseFileName, problem);
    return result;
  }
  if (before.exists && (before.parsed.format == DatabaseFormat::kOlder || !before.parsed.sound())) {
    const QString copy = before.parsed.format == DatabaseFormat::kOlder
                             ? folder + u'/' + kOlderDatabaseFileName
                             : DamagedCopyPath(folder);
    if (const QString failed = WriteFileAtomically(copy, Span(before.bytes), true);
        !failed.isEmpty()) {
      result.problem = QStringLiteral("%1/%2 is not saved: no copy of it could be kept (%3)")
                           .arg(folder, kDatabaseFileName, failed);
      return result;
    }
    result.keptCopy = copy;
  }
  result.problem = WriteFileAtomically(folder + u'/' + kDatabaseFileName, Span(*bytes), true);
  return result;
}

}  // namespace trevalo
