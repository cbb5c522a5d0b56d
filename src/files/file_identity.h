#pragma once
// What makes two paths one file. On Linux `img.jpg` and `IMG.jpg` are two files, while a
// symbolic link, a hard link and a path with `..` in it may all name the same one.

#include <cstdint>

#include <QString>

namespace trevalo {

// A key that two paths share exactly when they name the same file: the device and inode of
// a file that exists, else (a file about to be made) the absolute path in its folder's
// real place, so that a link to the folder names the same file.
QString FileIdentity(const QString& path);
bool SameFile(const QString& a, const QString& b);

// What a file looked like when it was read: a file replaced by a rename, grown, or
// rewritten in place (to the nanosecond of its modification time) gives another stamp.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  std::int64_t changedNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const QString& path);
// The stamp of an open file.
FileStamp StampOf(int fd);
// FileIdentity of a path whose stamp is known.
QString FileIdentity(const QString& path, const FileStamp& stamp);

}  // namespace trevalo
