#include "core/native_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <QDir>

#include "core/native_path.h"

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

QString OpenForReading(QFile& file, const QString& path) {
  const int fd = ::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC);
  struct stat status {};
  if (fd >= 0 && ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return SystemReason();
  }
  if (fd < 0) {
    return SystemReason();
  }
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return file.errorString();
  }
  return {};
}

}  // namespace trevalo
