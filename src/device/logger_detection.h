#pragma once
// Which mounted volume, if any, is a GPS logger, and of which model. A logger is a USB
// mass-storage device; the two models are told apart by the vendor and product ids of the
// USB device that carries the volume. The ids are read from sysfs and written as the text
// "USB\VID_vvvv&PID_pppp\serial" (upper-case hex), in which a model's id text is looked for.

#include <span>
#include <vector>

#include <QString>

#include "device/device_file.h"
#include "device/mount_table.h"

namespace trevalo {

enum class LoggerKind { kNone = 0, kModelA = 1, kModelB = 2 };

inline constexpr char kModelAHardwareId[] = "VID_0C76&PID_7E00";
inline constexpr char kModelBHardwareId[] = "VID_090C&PID_7E10";

// Where the system tells what is mounted and which hardware carries it. Tests point these
// at fake trees.
struct DeviceTree {
  QString mountInfoPath = QStringLiteral("/proc/self/mountinfo");
  QString sysfsRoot = QStringLiteral("/sys");
};

// The system's tree, or the one TREVALO_MOUNTINFO and TREVALO_SYSFS name (each alone may
// be set): the desktop program is driven on a fake logger this way, as trevalo-cli is with
// --mountinfo and --sysfs.
DeviceTree DeviceTreeFromEnvironment();

// A mounted volume with the id text of the USB device under it (empty when it is on no
// USB device, or is only part of a file system: a bind mount of a folder).
struct IdentifiedVolume {
  MountedVolume volume;
  QString deviceId;
};

// The id text of the USB device that carries the volume's block device; empty when none.
// The block device is the mount's device number, or, for a file system in user space that
// names its device as its source, that device's number.
QString UsbDeviceIdOf(const MountedVolume& volume, const QString& sysfsRoot);
// Every mounted volume of the tree, in mount-point order, with its device id.
std::vector<IdentifiedVolume> IdentifyVolumes(const DeviceTree& tree);

// The mount point of the first volume (in mount-point order) whose device id contains
// `hardwareId` (exact, case-sensitive); empty when there is none.
QString FindLoggerDrive(const QString& hardwareId, std::span<const IdentifiedVolume> volumes);

struct LoggerState {
  QString drive;  // the logger's mount point, empty when no logger is connected
  LoggerKind kind = LoggerKind::kNone;
};
// Model A first; model B only when no model A logger is mounted.
LoggerState DetectLogger(std::span<const IdentifiedVolume> volumes);
LoggerState DetectLogger(const DeviceTree& tree);

// The path of a file or folder in the logger's root, matched ignoring case (FAT names
// have no case); `name` itself when no entry matches.
QString LoggerPath(const QString& drive, const QString& name);

// A detected logger with the settings of its settings file.
struct ConnectedLogger {
  LoggerState state;
  ModelASettings modelA;  // read for model A (a missing file is created with the defaults)
  ModelBSettings modelB;  // read for model B
  QString problem;        // why the settings file could not be read (model B: no logger)
  // Model A: the file was missing, so the defaults were written to it; `problem` then
  // says why they could not be.
  bool settingsFileMissing = false;
};
// Detects the logger and reads its settings file. A model B logger whose file cannot be
// read counts as not connected.
ConnectedLogger ConnectLogger(const DeviceTree& tree);

}  // namespace trevalo
