#include "files/native_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <QDir>

#include "files/native_path.h"

namespace trevalo {

QString SystemReason() {
  return QString::fromLocal8Bit(std::strerror(errno));
}

bool PathExists(const QString& path) {
  struct stat status {};
  return ::lstat(NativePath(path).constData(), &status) == 0;
}

bool IsFolder(const QString& path) {
  struct stat status {};
  return ::stat(NativePath(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString CurrentFolder() {
  // getcwd, not QDir::currentPath, which reads the folder's name as UTF-8.
  const std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
  return folder ? PathFromNative(folder.get()) : QDir::currentPath();
}

QString AbsolutePath(const QString& path) {
  // Only text: cleanPath and the join leave the bytes of a name as they are.
  return QDir::cleanPath(QDir::isAbsolutePath(path) ? path : CurrentFolder() + u'/' + path);
}

bool MakeFolders(const QString& path) {
  const QByteArray folder = NativePath(AbsolutePath(path));
  for (qsizetype end = folder.indexOf('/', 1);; end = folder.indexOf('/', end + 1)) {
    const QByteArray above = end < 0 ? folder : folder.first(end);
    if (::mkdir(above.constData(), 0777) != 0 && errno != EEXIST) {
      return false;
    }
    if (end < 0) {
      break;
    }
  }
  return IsFolder(path);
}

QStringList FolderEntries(const QString& folder) {
  QStringList names;
  DIR* entries = ::opendir(NativePath(folder).constData());
  if (entries == nullptr) {
    return names;
  }
  while (const dirent* entry = ::readdir(entries)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names << PathFromNative(entry->d_name);
    }
  }
  ::closedir(entries);
  return names;
}

QString NotARegularFile(unsigned mode) {
  if (S_ISREG(mode)) {
    return {};
  }
  const char* kind = S_ISDIR(mode)                    ? "a folder"
                     : S_ISFIFO(mode)                 ? "a FIFO"
                     : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                     : S_ISSOCK(mode)                 ? "a socket"
                                                      : "something else";
  return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(kind));
}

int OpenRegularFile(const QString& path, QString& problem) {
  const QByteArray name = NativePath(path);
  // Looked at before it is opened, so that a device is not even opened (a tape would
  // rewind), and again through the descriptor, in case the name changed in between.
  // Without O_NONBLOCK a FIFO would be waited on until some writer came.
  struct stat status {};
  if (::stat(name.constData(), &status) == 0) {
    problem = NotARegularFile(status.st_mode);
    if (!problem.isEmpty()) {
      errno = EINVAL;
      return -1;
    }
  }
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    problem = SystemReason();
    return -1;
  }
  problem = ::fstat(fd, &status) != 0 ? SystemReason() : NotARegularFile(status.st_mode);
  if (!problem.isEmpty()) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

QString OpenForReading(QFile& file, const QString& path) {
  QString problem;
  const int fd = OpenRegularFile(path, problem);
  if (fd < 0) {
    return problem;
  }
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return file.errorString();
  }
  return {};
}

}  // namespace trevalo
