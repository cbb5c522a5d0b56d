#pragma once
// A stand-in for the kernel's view of mounted volumes: a sysfs tree with USB and other
// disks, and a mountinfo file, in a folder of the test. Mount points are real folders
// there, so files can be put "on" a volume.

#include <QString>

namespace trevalo::test {

class FakeDeviceTree {
 public:
  explicit FakeDeviceTree(QString root);

  QString mountInfoPath() const { return root_ + QStringLiteral("/mountinfo"); }
  QString sysfsRoot() const { return root_ + QStringLiteral("/sys"); }

  // A disk on a USB device at bus place `place` ("1-2"); an empty serial leaves the serial
  // file out. Its block device is MAJ:MIN; returns its sysfs folder.
  QString AddUsbDisk(const QString& place, const QString& vendor, const QString& product,
                     const QString& serial, unsigned major, unsigned minor);
  // A disk on the mainboard's SATA controller.
  QString AddSataDisk(const QString& name, unsigned major, unsigned minor);
  // Partition `number` of a disk folder, as block device MAJ:MIN.
  void AddPartition(const QString& diskFolder, int number, unsigned major, unsigned minor);
  // Mounts block device MAJ:MIN (or any device number) at a new folder `name` of the root
  // and returns the mount point. `root` is the folder of the file system mounted there.
  QString Mount(const QString& name, unsigned major, unsigned minor,
                const QString& source = QStringLiteral("/dev/fake"),
                const QString& root = QStringLiteral("/"));
  // Adds a mountinfo line as it stands.
  void AppendMountLine(const QString& line);

 private:
  void Link(unsigned major, unsigned minor, const QString& folder);

  QString root_;
  int nextMountId_ = 100;
  int nextHost_ = 0;
};

}  // namespace trevalo::test
