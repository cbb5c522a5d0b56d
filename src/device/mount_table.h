#pragma once
// The mounted file systems, as the kernel lists them in /proc/self/mountinfo. A mounted
// volume's root folder is what a drive letter's root is elsewhere.

#include <cstdint>
#include <vector>

#include <QByteArrayView>
#include <QString>

namespace trevalo {

struct MountedVolume {
  QString mountPoint;
  QString root;        // the folder of the file system that is mounted there ("/" for all of it)
  QString source;      // what was mounted ("/dev/sdb1", "tmpfs", ...)
  unsigned major = 0;  // the device number the kernel gives the mount
  unsigned minor = 0;

  friend bool operator==(const MountedVolume&, const MountedVolume&) = default;
};

// The mounts of a mountinfo text, in mount-point order. Of several mounts on one mount
// point only the last, the one that is visible, is kept. Octal escapes ("\040" for a
// blank) are decoded; malformed lines are skipped.
std::vector<MountedVolume> ParseMountTable(QByteArrayView text);
// The mounts of the mountinfo file at `path`; none when it cannot be read.
std::vector<MountedVolume> ReadMountTable(const QString& path);
// All of a file's bytes, read in blocks until its end (files in /proc have no size).
QByteArray ReadWholeFile(int fd);

struct VolumeSpace {
  std::int64_t freeBytes = 0;  // available to the user
  std::int64_t totalBytes = 0;
};
// The space of the volume mounted at `mountPoint`; both 0 when it cannot be asked.
VolumeSpace SpaceOf(const QString& mountPoint);
// "123Mb": whole mebibytes, truncated.
QString MegabyteText(std::int64_t bytes);

}  // namespace trevalo
