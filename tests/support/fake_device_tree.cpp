#include "support/fake_device_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/test_files.h"

namespace trevalo::test {
namespace {

constexpr char kUsbController[] = "/sys/devices/pci0000:00/0000:00:14.0/usb1";

void Attribute(const QString& folder, const char* name, const QString& value) {
  WriteFile(folder + u'/' + QLatin1String(name), (value + u'\n').toStdString());
}

QString DeviceNumber(unsigned major, unsigned minor) {
  return QStringLiteral("%1:%2").arg(major).arg(minor);
}

}  // namespace

FakeDeviceTree::FakeDeviceTree(QString root) : root_(std::move(root)) {
  QDir().mkpath(root_ + QStringLiteral("/sys/dev/block"));
  // The root hub has ids of its own; a disk's USB device is the nearest one above it.
  const QString hub = root_ + QLatin1String(kUsbController);
  Attribute(hub, "idVendor", QStringLiteral("1d6b"));
  Attribute(hub, "idProduct", QStringLiteral("0002"));
  WriteFile(mountInfoPath(),
            "22 1 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
            "26 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n");
}

void FakeDeviceTree::Link(unsigned major, unsigned minor, const QString& folder) {
  Attribute(folder, "dev", DeviceNumber(major, minor));
  const QString link = root_ + QStringLiteral("/sys/dev/block/") + DeviceNumber(major, minor);
  QFile::link(QDir(QFileInfo(link).path()).relativeFilePath(folder), link);
}

QString FakeDeviceTree::AddUsbDisk(const QString& place, const QString& vendor,
                                   const QString& product, const QString& serial, unsigned major,
                                   unsigned minor) {
  const QString device = root_ + QLatin1String(kUsbController) + u'/' + place;
  Attribute(device, "idVendor", vendor);
  Attribute(device, "idProduct", product);
  if (!serial.isEmpty()) {
    Attribute(device, "serial", serial);
  }
  const int host = nextHost_++;
  const QString disk = QStringLiteral("%1/%2:1.0/host%3/target%3:0:0/%3:0:0:0/block/sd%4")
                           .arg(device, place)
                           .arg(host)
                           .arg(QChar(u'b' + host));
  Link(major, minor, disk);
  return disk;
}

QString FakeDeviceTree::AddSataDisk(const QString& name, unsigned major, unsigned minor) {
  const int host = nextHost_++;
  const QString disk = QStringLiteral(
                           "%1/sys/devices/pci0000:00/0000:00:17.0/ata1/host%2/"
                           "target%2:0:0/%2:0:0:0/block/%3")
                           .arg(root_)
                           .arg(host)
                           .arg(name);
  Link(major, minor, disk);
  return disk;
}

void FakeDeviceTree::AddPartition(const QString& diskFolder, int number, unsigned major,
                                  unsigned minor) {
  Link(major, minor,
       diskFolder + u'/' + QFileInfo(diskFolder).fileName() + QString::number(number));
}

QString FakeDeviceTree::Mount(const QString& name, unsigned major, unsigned minor,
                              const QString& source, const QString& root) {
  const QString mountPoint = root_ + u'/' + name;
  QDir().mkpath(mountPoint);
  QString escaped = mountPoint;
  escaped.replace(u' ', QStringLiteral("\\040"));
  AppendMountLine(QStringLiteral("%1 26 %2 %3 %4 rw,relatime shared:%1 - vfat %5 rw,fmask=0022")
                      .arg(nextMountId_++)
                      .arg(DeviceNumber(major, minor), root, escaped, source));
  return mountPoint;
}

void FakeDeviceTree::AppendMountLine(const QString& line) {
  QFile file(mountInfoPath());
  file.open(QIODevice::Append);
  file.write((line + u'\n').toUtf8());
}

}  // namespace trevalo::test
