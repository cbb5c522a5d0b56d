#pragma once
// Whether two paths name one file. Names are no identity: a symbolic link, a hard link or a
// path through another folder can name a file we are about to replace.

#include <sys/types.h>

#include <optional>
#include <utility>

#include <QString>

namespace trevalo {

class FileIdentity {
 public:
  explicit FileIdentity(const QString& path);

  // Two files that exist are one when they have the same device and inode; two names that
  // do not exist (yet) are one when their absolute, canonical paths are equal.
  bool operator==(const FileIdentity& other) const;

 private:
  std::optional<std::pair<dev_t, ino_t>> inode_;
  QString canonicalPath_;  // only for a name that does not exist
};

inline bool IsSameFile(const QString& a, const QString& b) {
  return FileIdentity(a) == FileIdentity(b);
}

}  // namespace trevalo
