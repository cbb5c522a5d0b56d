#pragma once
// Mount and unmount, told through the Qt event loop: the windows that show the logger
// (photo page, import dialog, settings page) detect it again on every change.

#include <memory>

#include <QObject>

#include "device/mount_watcher.h"

class QSocketNotifier;

namespace trevalo {

class DeviceChangeNotifier : public QObject {
  Q_OBJECT

 public:
  DeviceChangeNotifier(const QString& mountInfoPath, QObject* parent = nullptr);
  ~DeviceChangeNotifier() override;

  // Reads the table now and tells any change (for tables that do not signal changes).
  void CheckNow();

 Q_SIGNALS:
  void deviceArrived();
  void deviceRemoved();

 private:
  std::unique_ptr<MountWatcher> watcher_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace trevalo
