#include "device/logger_detection.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "device/mount_table.h"
#include "support/fake_device_tree.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

using test::FakeDeviceTree;

TEST(MountTable, ReadsTheKernelsLinesInMountPointOrder) {
  const QByteArray text =
      "26 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
      "90 26 8:17 / /media/me/GPS\\040LOGGER rw,nosuid shared:40 master:2 - vfat /dev/sdb1 rw\n"
      "91 26 8:33 / /media/me/CARD rw - vfat /dev/sdc1 rw\n"
      "garbage line\n"
      "92 26 8:x / /media/bad rw - vfat /dev/sdd1 rw\n"
      "93 26 8:49 / relative rw - vfat /dev/sde1 rw\n"
      "94 26 8:50 / /media/no-separator rw vfat /dev/sde2 rw\n"
      "95 26 0:50 /home/me/photos /srv/photos rw - ext4 /dev/nvme0n1p2 rw";
  const std::vector<MountedVolume> volumes = ParseMountTable(text);
  ASSERT_EQ(volumes.size(), 4u);
  EXPECT_EQ(volumes[0].mountPoint, QStringLiteral("/"));
  EXPECT_EQ(volumes[1].mountPoint, QStringLiteral("/media/me/CARD"));
  EXPECT_EQ(volumes[2].mountPoint, QStringLiteral("/media/me/GPS LOGGER"));
  EXPECT_EQ(volumes[2].source, QStringLiteral("/dev/sdb1"));
  EXPECT_EQ(volumes[2].major, 8u);
  EXPECT_EQ(volumes[2].minor, 17u);
  EXPECT_EQ(volumes[3].root, QStringLiteral("/home/me/photos"));  // last line had no line end
}

TEST(MountTable, OnlyTheLastMountOnAMountPointIsSeen) {
  const std::vector<MountedVolume> volumes = ParseMountTable(
      "90 26 8:17 / /media/x rw - vfat /dev/sdb1 rw\n"
      "91 90 8:33 / /media/x rw - vfat /dev/sdc1 rw\n");
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].source, QStringLiteral("/dev/sdc1"));
}

TEST(VolumeSpace, IsToldInWholeMebibytes) {
  EXPECT_EQ(MegabyteText(0), QStringLiteral("0Mb"));
  EXPECT_EQ(MegabyteText(1048575), QStringLiteral("0Mb"));
  EXPECT_EQ(MegabyteText(std::int64_t{5} << 30), QStringLiteral("5120Mb"));
  QTemporaryDir dir;
  const VolumeSpace space = SpaceOf(dir.path());
  EXPECT_GT(space.totalBytes, 0);
  EXPECT_LE(space.freeBytes, space.totalBytes);
  const VolumeSpace missing = SpaceOf(dir.filePath(QStringLiteral("not-there")));
  EXPECT_EQ(missing.freeBytes, 0);
  EXPECT_EQ(missing.totalBytes, 0);
}

class LoggerDetection : public ::testing::Test {
 protected:
  DeviceTree Tree() const { return {fake.mountInfoPath(), fake.sysfsRoot()}; }
  // A logger of the model with a file system on the whole disk; its mount point.
  QString MountLogger(LoggerKind kind) {
    const bool modelA = kind == LoggerKind::kModelA;
    fake.AddUsbDisk(QStringLiteral("1-2"), modelA ? QStringLiteral("0c76") : QStringLiteral("090c"),
                    modelA ? QStringLiteral("7e00") : QStringLiteral("7e10"), QStringLiteral("S"),
                    8, 16);
    return fake.Mount(QStringLiteral("LOGGER"), 8, 16, QStringLiteral("/dev/sdb"));
  }

  QTemporaryDir dir;
  FakeDeviceTree fake{dir.path()};
};

TEST_F(LoggerDetection, FindsAModelALoggerOnAPartitionAndBuildsItsId) {
  const QString disk = fake.AddUsbDisk(QStringLiteral("1-2"), QStringLiteral("0c76"),
                                       QStringLiteral("7e00"), QStringLiteral("0123ABC"), 8, 16);
  fake.AddPartition(disk, 1, 8, 17);
  const QString drive = fake.Mount(QStringLiteral("LOGGER"), 8, 17);

  const std::vector<IdentifiedVolume> volumes = IdentifyVolumes(Tree());
  const auto logger = std::ranges::find_if(
      volumes, [&](const IdentifiedVolume& v) { return v.volume.mountPoint == drive; });
  ASSERT_NE(logger, volumes.end());
  EXPECT_EQ(logger->deviceId, QStringLiteral("USB\\VID_0C76&PID_7E00\\0123ABC"));
  const LoggerState state = DetectLogger(Tree());
  EXPECT_EQ(state.kind, LoggerKind::kModelA);
  EXPECT_EQ(state.drive, drive);
}

TEST_F(LoggerDetection, FindsAFileSystemOnTheWholeDiskAndADeviceWithoutSerial) {
  fake.AddUsbDisk(QStringLiteral("2-1.4"), QStringLiteral("090c"), QStringLiteral("7e10"), {}, 8,
                  32);
  const QString drive = fake.Mount(QStringLiteral("B"), 8, 32);
  const std::vector<IdentifiedVolume> volumes = IdentifyVolumes(Tree());
  EXPECT_EQ(FindLoggerDrive(QLatin1String(kModelBHardwareId), volumes), drive);
  EXPECT_EQ(FindLoggerDrive(QLatin1String(kModelAHardwareId), volumes), QString());
  // The place on the bus stands in for the missing serial number.
  EXPECT_TRUE(std::ranges::any_of(volumes, [](const IdentifiedVolume& v) {
    return v.deviceId == QStringLiteral("USB\\VID_090C&PID_7E10\\2-1.4");
  }));
  EXPECT_EQ(DetectLogger(volumes).kind, LoggerKind::kModelB);
}

TEST_F(LoggerDetection, CardReadersInternalDisksAndVirtualFileSystemsAreNoLoggers) {
  const QString reader =
      fake.AddUsbDisk(QStringLiteral("1-3"), QStringLiteral("05e3"), QStringLiteral("0749"),
                      QStringLiteral("000000001532"), 8, 48);
  fake.AddPartition(reader, 1, 8, 49);
  fake.Mount(QStringLiteral("CARD"), 8, 49);
  const QString sata = fake.AddSataDisk(QStringLiteral("sda"), 8, 0);
  fake.AddPartition(sata, 1, 8, 1);
  fake.Mount(QStringLiteral("DATA"), 8, 1);
  fake.Mount(QStringLiteral("RAM"), 0, 45, QStringLiteral("tmpfs"));

  const std::vector<IdentifiedVolume> volumes = IdentifyVolumes(Tree());
  for (const IdentifiedVolume& identified : volumes) {
    if (identified.volume.mountPoint.endsWith(QStringLiteral("/CARD"))) {
      EXPECT_EQ(identified.deviceId, QStringLiteral("USB\\VID_05E3&PID_0749\\000000001532"));
    } else {
      EXPECT_EQ(identified.deviceId, QString()) << identified.volume.mountPoint.toStdString();
    }
  }
  const LoggerState state = DetectLogger(volumes);
  EXPECT_EQ(state.kind, LoggerKind::kNone);
  EXPECT_EQ(state.drive, QString());
}

TEST_F(LoggerDetection, ModelAWinsOverModelBAndTheFirstMountPointOverLaterOnes) {
  fake.AddUsbDisk(QStringLiteral("1-1"), QStringLiteral("090c"), QStringLiteral("7e10"),
                  QStringLiteral("B1"), 8, 16);
  fake.Mount(QStringLiteral("A-model-b"), 8, 16);
  fake.AddUsbDisk(QStringLiteral("1-2"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                  QStringLiteral("A2"), 8, 32);
  const QString second = fake.Mount(QStringLiteral("Z-model-a"), 8, 32);
  fake.AddUsbDisk(QStringLiteral("1-3"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                  QStringLiteral("A1"), 8, 48);
  const QString first = fake.Mount(QStringLiteral("M-model-a"), 8, 48);
  ASSERT_LT(first, second);

  const LoggerState state = DetectLogger(Tree());
  EXPECT_EQ(state.kind, LoggerKind::kModelA);
  EXPECT_EQ(state.drive, first);
}

TEST_F(LoggerDetection, AFolderOfTheLoggerMountedElsewhereIsNotItsDrive) {
  const QString drive = MountLogger(LoggerKind::kModelA);
  fake.Mount(QStringLiteral("A-bound-gps-folder"), 8, 16, QStringLiteral("/dev/sdb"),
             QStringLiteral("/GPS"));
  EXPECT_EQ(DetectLogger(Tree()).drive, drive);
}

TEST_F(LoggerDetection, NoTreeNoLogger) {
  const LoggerState state =
      DetectLogger(DeviceTree{dir.filePath(QStringLiteral("none")), fake.sysfsRoot()});
  EXPECT_EQ(state.kind, LoggerKind::kNone);
  MountLogger(LoggerKind::kModelA);
  EXPECT_EQ(
      DetectLogger(DeviceTree{fake.mountInfoPath(), dir.filePath(QStringLiteral("no-sys"))}).kind,
      LoggerKind::kNone);
}

TEST_F(LoggerDetection, ConnectingReadsTheSettingsFileOfTheModel) {
  const QString drive = MountLogger(LoggerKind::kModelA);
  // A missing model A file is created with the defaults.
  ConnectedLogger logger = ConnectLogger(Tree());
  EXPECT_EQ(logger.state.kind, LoggerKind::kModelA);
  EXPECT_EQ(logger.problem, QString());
  EXPECT_EQ(logger.modelA.samplingSeconds, 5);
  EXPECT_EQ(test::ReadFile(drive + QStringLiteral("/QARN_TR.CFG")).size(), 128);
  // FAT names have no case: a file written in lower case is the same file.
  QFile::rename(drive + QStringLiteral("/QARN_TR.CFG"), drive + QStringLiteral("/qarn_tr.cfg"));
  ModelASettings settings;
  settings.samplingSeconds = 30;
  ASSERT_EQ(WriteModelAFile(drive + QStringLiteral("/qarn_tr.cfg"), settings), QString());
  logger = ConnectLogger(Tree());
  EXPECT_EQ(logger.modelA.samplingSeconds, 30);
  EXPECT_FALSE(QFile::exists(drive + QStringLiteral("/QARN_TR.CFG")));
}

TEST_F(LoggerDetection, AModelBLoggerWithoutItsSettingsFileCountsAsAbsent) {
  const QString drive = MountLogger(LoggerKind::kModelB);
  ConnectedLogger logger = ConnectLogger(Tree());
  EXPECT_EQ(logger.state.kind, LoggerKind::kNone);
  EXPECT_EQ(logger.state.drive, QString());
  EXPECT_TRUE(logger.problem.contains(QStringLiteral("SYSREG.SMI")))
      << logger.problem.toStdString();

  QByteArray bytes(256, '\0');
  bytes.replace(10, 2, "B7");
  bytes.replace(20, 3, "002");
  bytes[107] = 3;
  test::WriteFile(drive + QStringLiteral("/SYSREG.SMI"), bytes.toStdString());
  logger = ConnectLogger(Tree());
  EXPECT_EQ(logger.state.kind, LoggerKind::kModelB);
  EXPECT_EQ(logger.modelB.modelCode, QStringLiteral("B7"));
  EXPECT_EQ(logger.modelB.formatCheck, 1);
  EXPECT_EQ(logger.modelB.values[7], 3);
}

}  // namespace
}  // namespace trevalo
