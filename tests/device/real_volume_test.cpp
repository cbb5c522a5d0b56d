// A logger as far as this machine can make one: a FAT file system in an image file, on a
// loop block device, mounted through FUSE (fusefat) with the device named as its source.
// Only the USB identity is fake: sysfs links the loop device's number to a USB device of
// model A. Needs root, a loop device and FUSE; skipped (saying why) where they are missing.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "device/log_import.h"
#include "device/logger_detection.h"
#include "files/atomic_file.h"
#include "library/log_library.h"
#include "support/fake_device_tree.h"
#include "support/log_generator.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

// A system tool's path (root's tools may be outside a user's PATH); empty when missing.
QString Tool(const QString& name) {
  const QString found = QStandardPaths::findExecutable(name);
  return found.isEmpty() ? QStandardPaths::findExecutable(
                               name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                         : found;
}

int Execute(const QString& tool, const QStringList& arguments, QByteArray* output = nullptr) {
  int exitCode = -1;
  const QByteArray out = test::Run(Tool(tool), arguments, &exitCode);
  if (output != nullptr) {
    *output = out;
  }
  return exitCode;
}

class FatVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) {
      GTEST_SKIP() << "attaching a loop device needs root";
    }
    for (const char* tool : {"mkfs.vfat", "fsck.fat", "losetup", "fusefat", "umount"}) {
      if (Tool(QLatin1String(tool)).isEmpty()) {
        GTEST_SKIP() << tool << " is not installed";
      }
    }
    image_ = dir_.filePath(QStringLiteral("logger.img"));
    QFile image(image_);
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    ASSERT_TRUE(image.resize(8 << 20));
    image.close();
    ASSERT_EQ(Execute(QStringLiteral("mkfs.vfat"),
                      {QStringLiteral("-n"), QStringLiteral("LOGGER"), image_}),
              0);
    QByteArray device;
    if (Execute(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image_},
                &device) != 0) {
      GTEST_SKIP() << "no loop device can be attached here";
    }
    device_ = QString::fromLocal8Bit(device.trimmed());
    mountPoint_ = dir_.filePath(QStringLiteral("LOGGER"));
    QDir().mkpath(mountPoint_);
    if (!Mount()) {
      GTEST_SKIP() << "FUSE mounts are not possible here";
    }
  }

  void TearDown() override {
    Unmount();
    if (!device_.isEmpty()) {
      Execute(QStringLiteral("losetup"), {QStringLiteral("-d"), device_});
    }
  }

  bool Mount() {
    mounted_ = Execute(QStringLiteral("fusefat"),
                       {QStringLiteral("-o"), QStringLiteral("rw+,fsname=") + device_, device_,
                        mountPoint_}) == 0;
    return mounted_;
  }
  void Unmount() {
    if (mounted_) {
      Execute(QStringLiteral("umount"), {mountPoint_});
      mounted_ = false;
    }
  }

  QTemporaryDir dir_;
  QString image_;
  QString device_;
  QString mountPoint_;
  bool mounted_ = false;
};

TEST_F(FatVolume, IsFoundReadAndItsLogsImported) {
  // The logger's logs: the receiver logs of the shared test data when they are there.
  QStringList originals;
  const QDir testLogs(test::TestDataFolder() + QStringLiteral("/nmea"));
  for (const QString& name : testLogs.entryList({QStringLiteral("*.nmea")}, QDir::Files)) {
    originals << testLogs.filePath(name);
  }
  QDir().mkpath(mountPoint_ + QStringLiteral("/GPS"));
  QList<QByteArray> contents;
  int n = 0;
  for (const QString& original : originals) {
    contents << test::ReadFile(original);
    test::WriteFile(QStringLiteral("%1/GPS/TRACK%2.LOG").arg(mountPoint_).arg(++n),
                    contents.back().toStdString());
  }
  if (originals.isEmpty()) {
    contents << QByteArray::fromStdString(test::GenerateLog({.epochs = 300}));
    test::WriteFile(mountPoint_ + QStringLiteral("/GPS/TRACK1.LOG"), contents.back().toStdString());
  }

  struct stat loop {};
  ASSERT_EQ(::stat(QFile::encodeName(device_).constData(), &loop), 0);
  test::FakeDeviceTree fake(dir_.filePath(QStringLiteral("fake")));
  fake.AddUsbDisk(QStringLiteral("1-4"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                  QStringLiteral("LOOPLOGGER"), ::major(loop.st_rdev), ::minor(loop.st_rdev));
  const DeviceTree tree{QStringLiteral("/proc/self/mountinfo"), fake.sysfsRoot()};

  // Without the fake identity the loop device is no USB device, so no logger.
  for (const IdentifiedVolume& volume : IdentifyVolumes(DeviceTree{})) {
    if (volume.volume.mountPoint == mountPoint_) {
      EXPECT_EQ(volume.deviceId.toStdString(), "");
    }
  }

  const ConnectedLogger logger = ConnectLogger(tree);
  ASSERT_EQ(logger.state.kind, LoggerKind::kModelA);
  EXPECT_EQ(logger.state.drive.toStdString(), mountPoint_.toStdString());
  EXPECT_EQ(logger.problem.toStdString(), "");
  EXPECT_EQ(test::ReadFile(mountPoint_ + QStringLiteral("/QARN_TR.CFG")).size(), 128);

  {
    // FAT has no unnamed files: the settings file went through a named temporary file.
    AtomicFile probe(mountPoint_ + QStringLiteral("/probe.txt"));
    ASSERT_GE(probe.fd(), 0) << probe.openProblem().toStdString();
    EXPECT_FALSE(probe.unnamed());
  }
  EXPECT_EQ(QDir(mountPoint_)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .filter(QStringLiteral(".trevalo-")),
            QStringList());

  const VolumeSpace space = SpaceOf(logger.state.drive);
  EXPECT_GT(space.totalBytes, 7 << 20);
  EXPECT_LE(space.totalBytes, 8 << 20);
  EXPECT_LT(space.freeBytes, space.totalBytes);

  LogLibrary library(dir_.filePath(QStringLiteral("Wayfable Logs")), 0);
  const ImportResult result =
      ImportLogs(logger.state.drive, library, {.timeZone = 900, .deleteAfterImport = true});
  ASSERT_EQ(result.logs.size(), static_cast<std::size_t>(contents.size()));
  for (qsizetype i = 0; i < contents.size(); ++i) {
    const ImportedLog& log = result.logs[static_cast<std::size_t>(i)];
    EXPECT_EQ(log.problem.toStdString(), "");
    EXPECT_TRUE(log.deleted);
    EXPECT_EQ(test::ReadFile(log.destination), contents[i]);
  }
  EXPECT_EQ(library.size(), static_cast<std::size_t>(contents.size()));

  // What the import did is on the volume itself, and the file system is sound.
  Unmount();
  QByteArray check;
  EXPECT_EQ(Execute(QStringLiteral("fsck.fat"), {QStringLiteral("-n"), image_}, &check), 0)
      << check.toStdString();
  ASSERT_TRUE(Mount());
  EXPECT_TRUE(LoggerLogFiles(mountPoint_).isEmpty());
  EXPECT_EQ(test::ReadFile(LoggerPath(mountPoint_, QStringLiteral("QARN_TR.CFG"))).size(), 128);
}

}  // namespace
}  // namespace trevalo
