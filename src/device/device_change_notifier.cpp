#include "device/device_change_notifier.h"

#include <QSocketNotifier>

namespace trevalo {

DeviceChangeNotifier::DeviceChangeNotifier(const QString& mountInfoPath, QObject* parent)
    : QObject(parent),
      watcher_(std::make_unique<MountWatcher>(mountInfoPath, [this](MountWatcher::Change change) {
        if (change == MountWatcher::Change::kArrival) {
          Q_EMIT deviceArrived();
        } else {
          Q_EMIT deviceRemoved();
        }
      })) {
  if (watcher_->fd() >= 0) {
    // The kernel marks the table as an exceptional condition when it changes.
    notifier_ = new QSocketNotifier(watcher_->fd(), QSocketNotifier::Exception, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { watcher_->Check(); });
  }
}

DeviceChangeNotifier::~DeviceChangeNotifier() = default;

void DeviceChangeNotifier::CheckNow() {
  watcher_->Check();
}

}  // namespace trevalo
