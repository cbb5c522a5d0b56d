#pragma once
// Tells when volumes are mounted or unmounted, as device arrival and removal are told
// elsewhere. The kernel marks /proc/self/mountinfo with POLLPRI when its table changes; a
// Qt window watches fd() with a QSocketNotifier of type Exception and calls Check(); a
// program without an event loop calls Wait().

#include <functional>
#include <vector>

#include <QString>

#include "device/mount_table.h"

namespace trevalo {

class MountWatcher {
 public:
  enum class Change { kArrival, kRemoval };
  using Callback = std::function<void(Change)>;

  // Reads the table once; changes are told from then on.
  MountWatcher(QString mountInfoPath, Callback callback);
  ~MountWatcher();
  MountWatcher(const MountWatcher&) = delete;
  MountWatcher& operator=(const MountWatcher&) = delete;

  // The descriptor that signals a change of the table; -1 when the file cannot be opened.
  int fd() const { return fd_; }
  // Reads the table again and tells what changed since the last reading: an arrival when a
  // volume was mounted, a removal when one went (an arrival first when both).
  void Check();
  // Waits up to `timeoutMs` for the kernel to mark a change, then checks. A file that
  // does not signal changes (a plain file standing in for the table) is checked at once.
  // Returns whether a change was told.
  bool Wait(int timeoutMs);

 private:
  QString path_;
  Callback callback_;
  int fd_ = -1;
  bool signalsChanges_ = false;  // the kernel's table, not a plain file standing in for it
  std::vector<MountedVolume> mounted_;
};

}  // namespace trevalo
