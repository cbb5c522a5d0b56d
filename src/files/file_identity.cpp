#include "files/file_identity.h"

#include <sys/stat.h>
#include <cstdlib>

#include <algorithm>

#include "files/native_files.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

FileStamp StampOfStatus(const struct stat& status) {
  constexpr std::int64_t kBillion = 1'000'000'000;
  return {true,
          static_cast<std::uint64_t>(status.st_dev),
          static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::int64_t>(status.st_size),
          status.st_mtim.tv_sec * kBillion + status.st_mtim.tv_nsec,
          status.st_ctim.tv_sec * kBillion + status.st_ctim.tv_nsec};
}

}  // namespace

QString FileIdentity(const QString& path, const FileStamp& stamp) {
  if (stamp.exists) {
    return QStringLiteral("%1:%2").arg(stamp.device).arg(stamp.inode);
  }
  const QString absolute = AbsolutePath(path);
  const qsizetype slash = absolute.lastIndexOf(u'/');
  char* folder =
      ::realpath(NativePath(absolute.left(std::max<qsizetype>(slash, 1))).constData(), nullptr);
  if (folder == nullptr) {
    return absolute;
  }
  const QString real = PathFromNative(folder);
  std::free(folder);
  return (real == u"/" ? QString() : real) + absolute.mid(slash);
}

QString FileIdentity(const QString& path) {
  return FileIdentity(path, path.isEmpty() ? FileStamp{} : StampOf(path));
}

bool SameFile(const QString& a, const QString& b) {
  return FileIdentity(a) == FileIdentity(b);
}

FileStamp StampOf(const QString& path) {
  struct stat status {};
  if (::stat(NativePath(path).constData(), &status) != 0) {
    return {};
  }
  return StampOfStatus(status);
}

FileStamp StampOf(int fd) {
  struct stat status {};
  if (fd < 0 || ::fstat(fd, &status) != 0) {
    return {};
  }
  return StampOfStatus(status);
}

}  // namespace trevalo
