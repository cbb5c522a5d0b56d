#include "device/logger_detection.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <filesystem>

#include <QDir>
#include <QFile>

#include "files/native_files.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

namespace fs = std::filesystem;

fs::path ToPath(const QString& path) {
  return fs::path(NativePath(path).toStdString());
}

// The first line of a small sysfs attribute file, trimmed; empty when it cannot be read.
QString Attribute(const fs::path& folder, const char* name) {
  QFile file;
  if (!OpenForReading(file, PathFromNative((folder / name).c_str())).isEmpty()) {
    return {};
  }
  return QString::fromLatin1(file.readLine(256)).trimmed();
}

// The sysfs folder of block device MAJ:MIN with its links resolved; empty when there is
// none.
fs::path BlockDeviceFolder(const fs::path& sysfsRoot, unsigned major, unsigned minor) {
  std::error_code error;
  const fs::path link =
      sysfsRoot / "dev" / "block" / (std::to_string(major) + ':' + std::to_string(minor));
  fs::path folder = fs::canonical(link, error);
  return error ? fs::path() : folder;
}

// The block device folder of a mount. A file system in user space gets a device number of
// its own; when it names a block device as its source, that device is the one.
fs::path VolumeDeviceFolder(const MountedVolume& volume, const fs::path& sysfsRoot) {
  if (fs::path folder = BlockDeviceFolder(sysfsRoot, volume.major, volume.minor);
      !folder.empty() || volume.major != 0) {
    return folder;
  }
  struct stat source {};
  if (!volume.source.startsWith(u'/') ||
      ::stat(NativePath(volume.source).constData(), &source) != 0 || !S_ISBLK(source.st_mode)) {
    return {};
  }
  return BlockDeviceFolder(sysfsRoot, ::major(source.st_rdev), ::minor(source.st_rdev));
}

}  // namespace

QString UsbDeviceIdOf(const MountedVolume& volume, const QString& sysfsRoot) {
  std::error_code error;
  const fs::path root = fs::canonical(ToPath(sysfsRoot), error);
  if (error) {
    return {};
  }
  // The USB device is the nearest folder above the block device with vendor and product
  // ids; the interface and the storage host between them have none.
  const std::string inside = (root / "").string();
  for (fs::path folder = VolumeDeviceFolder(volume, root);
       folder.string().starts_with(inside) && folder != root; folder = folder.parent_path()) {
    const QString vendor = Attribute(folder, "idVendor");
    const QString product = Attribute(folder, "idProduct");
    if (vendor.isEmpty() || product.isEmpty()) {
      continue;
    }
    // Without a serial number the device's place on the bus stands for it, as the
    // instance part of an id does elsewhere.
    QString serial = Attribute(folder, "serial");
    if (serial.isEmpty()) {
      serial = PathFromNative(folder.filename().c_str());
    }
    return QStringLiteral("USB\\VID_%1&PID_%2\\%3")
        .arg(vendor.toUpper(), product.toUpper(), serial);
  }
  return {};
}

std::vector<IdentifiedVolume> IdentifyVolumes(const DeviceTree& tree) {
  std::vector<IdentifiedVolume> identified;
  for (MountedVolume& volume : ReadMountTable(tree.mountInfoPath)) {
    // A bind mount of a folder is not the root of a volume.
    QString deviceId = volume.root == u"/" ? UsbDeviceIdOf(volume, tree.sysfsRoot) : QString();
    identified.push_back({std::move(volume), std::move(deviceId)});
  }
  return identified;
}

QString FindLoggerDrive(const QString& hardwareId, std::span<const IdentifiedVolume> volumes) {
  for (const IdentifiedVolume& identified : volumes) {
    if (identified.deviceId.contains(hardwareId, Qt::CaseSensitive)) {
      return identified.volume.mountPoint;
    }
  }
  return {};
}

LoggerState DetectLogger(std::span<const IdentifiedVolume> volumes) {
  if (QString drive = FindLoggerDrive(QLatin1String(kModelAHardwareId), volumes);
      !drive.isEmpty()) {
    return {std::move(drive), LoggerKind::kModelA};
  }
  if (QString drive = FindLoggerDrive(QLatin1String(kModelBHardwareId), volumes);
      !drive.isEmpty()) {
    return {std::move(drive), LoggerKind::kModelB};
  }
  return {};
}

LoggerState DetectLogger(const DeviceTree& tree) {
  return DetectLogger(IdentifyVolumes(tree));
}

QString LoggerPath(const QString& drive, const QString& name) {
  for (const QString& entry : FolderEntries(drive)) {
    if (entry.compare(name, Qt::CaseInsensitive) == 0) {
      return QDir(drive).filePath(entry);
    }
  }
  return QDir(drive).filePath(name);
}

ConnectedLogger ConnectLogger(const DeviceTree& tree) {
  ConnectedLogger logger{DetectLogger(tree), {}, {}, {}, false};
  if (logger.state.kind == LoggerKind::kModelA) {
    ModelAReadResult read =
        ReadModelAFile(LoggerPath(logger.state.drive, QLatin1String(kModelAFileName)));
    logger.modelA = read.settings;
    logger.problem = std::move(read.problem);
    logger.settingsFileMissing = read.created;
  } else if (logger.state.kind == LoggerKind::kModelB) {
    std::optional<ModelBSettings> settings = ReadModelBFile(
        LoggerPath(logger.state.drive, QLatin1String(kModelBFileName)), &logger.problem);
    if (settings) {
      logger.modelB = std::move(*settings);
    } else {
      logger.state = {};
    }
  }
  return logger;
}

DeviceTree DeviceTreeFromEnvironment() {
  DeviceTree tree;
  const QString mountInfo = qEnvironmentVariable("TREVALO_MOUNTINFO");
  const QString sysfs = qEnvironmentVariable("TREVALO_SYSFS");
  if (!mountInfo.isEmpty()) {
    tree.mountInfoPath = mountInfo;
  }
  if (!sysfs.isEmpty()) {
    tree.sysfsRoot = sysfs;
  }
  return tree;
}

}  // namespace trevalo
