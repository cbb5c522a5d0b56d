#include "core/file_identity.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace trevalo {
namespace {

// The absolute path of a name that does not exist, its folder resolved through its links.
QString CanonicalPathOfMissing(const QString& path) {
  const QFileInfo info(path);
  const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
  return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                          : QDir(folder).filePath(info.fileName());
}

}  // namespace

FileIdentity::FileIdentity(const QString& path) {
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
    inode_.emplace(status.st_dev, status.st_ino);
  } else {
    canonicalPath_ = CanonicalPathOfMissing(path);
  }
}

bool FileIdentity::operator==(const FileIdentity& other) const {
  if (inode_.has_value() != other.inode_.has_value()) {
    return false;
  }
  return inode_ ? *inode_ == *other.inode_ : canonicalPath_ == other.canonicalPath_;
}

}  // namespace trevalo
