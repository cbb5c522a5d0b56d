#include "device/mount_watcher.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

#include "files/native_path.h"

namespace trevalo {
namespace {

bool Precedes(const MountedVolume& a, const MountedVolume& b) {
  return std::tie(a.mountPoint, a.source, a.major, a.minor, a.root) <
         std::tie(b.mountPoint, b.source, b.major, b.minor, b.root);
}

// Whether `from` holds a volume that `to` does not (both in the order of Precedes).
bool HasOneNotIn(const std::vector<MountedVolume>& from, const std::vector<MountedVolume>& to) {
  return std::ranges::any_of(from, [&](const MountedVolume& volume) {
    return !std::binary_search(to.begin(), to.end(), volume, Precedes);
  });
}

}  // namespace

MountWatcher::MountWatcher(QString mountInfoPath, Callback callback)
    : path_(std::move(mountInfoPath)), callback_(std::move(callback)) {
  fd_ = ::open(NativePath(path_).constData(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) {
    struct statfs fileSystem {};
    signalsChanges_ = ::fstatfs(fd_, &fileSystem) == 0 && fileSystem.f_type == PROC_SUPER_MAGIC;
    mounted_ = ParseMountTable(ReadWholeFile(fd_));
    std::ranges::sort(mounted_, Precedes);
  }
}

MountWatcher::~MountWatcher() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void MountWatcher::Check() {
  if (fd_ < 0) {
    return;
  }
  std::vector<MountedVolume> mounted = ParseMountTable(ReadWholeFile(fd_));
  std::ranges::sort(mounted, Precedes);
  const bool arrived = HasOneNotIn(mounted, mounted_);
  const bool removed = HasOneNotIn(mounted_, mounted);
  mounted_ = std::move(mounted);
  if (arrived) {
    callback_(Change::kArrival);
  }
  if (removed) {
    callback_(Change::kRemoval);
  }
}

bool MountWatcher::Wait(int timeoutMs) {
  if (fd_ < 0) {
    return false;
  }
  if (signalsChanges_) {
    pollfd watched{fd_, POLLPRI, 0};
    int ready = 0;
    do {
      ready = ::poll(&watched, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
      return false;
    }
  }
  const std::vector<MountedVolume> before = mounted_;
  Check();
  return mounted_ != before;
}

}  // namespace trevalo
