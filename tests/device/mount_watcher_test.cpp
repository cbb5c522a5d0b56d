#include "device/mount_watcher.h"

#include <sys/mount.h>
#include <unistd.h>
#include <cerrno>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace trevalo {
namespace {

using Change = MountWatcher::Change;

constexpr char kRoot[] = "26 1 259:2 / / rw - ext4 /dev/nvme0n1p2 rw\n";
constexpr char kLogger[] = "90 26 8:17 / /media/LOGGER rw - vfat /dev/sdb1 rw\n";
constexpr char kCard[] = "91 26 8:33 / /media/CARD rw - vfat /dev/sdc1 rw\n";

TEST(MountWatcher, TellsArrivalAndRemovalWhenTheTableChanges) {
  QTemporaryDir dir;
  const QString table = dir.filePath(QStringLiteral("mountinfo"));
  test::WriteFile(table, std::string(kRoot) + kLogger);
  std::vector<Change> changes;
  MountWatcher watcher(table, [&](Change change) { changes.push_back(change); });
  ASSERT_GE(watcher.fd(), 0);

  watcher.Check();
  EXPECT_TRUE(changes.empty()) << "nothing changed";

  test::WriteFile(table, std::string(kRoot) + kLogger + kCard);
  watcher.Check();
  EXPECT_EQ(changes, std::vector<Change>{Change::kArrival});

  changes.clear();
  test::WriteFile(table, std::string(kRoot) + kCard);
  EXPECT_TRUE(watcher.Wait(0)) << "a plain file is checked at once";
  EXPECT_EQ(changes, std::vector<Change>{Change::kRemoval});

  // One volume swapped for another at the same place: both are told, arrival first.
  changes.clear();
  test::WriteFile(table, std::string(kRoot) + "92 26 8:49 / /media/CARD rw - vfat /dev/sdd1 rw\n");
  watcher.Check();
  EXPECT_EQ(changes, (std::vector<Change>{Change::kArrival, Change::kRemoval}));

  changes.clear();
  EXPECT_FALSE(watcher.Wait(0));
  EXPECT_TRUE(changes.empty());
}

TEST(MountWatcher, WithoutATableNothingIsWatched) {
  int calls = 0;
  MountWatcher watcher(QStringLiteral("/nonexistent/mountinfo"), [&](Change) { ++calls; });
  EXPECT_EQ(watcher.fd(), -1);
  watcher.Check();
  EXPECT_FALSE(watcher.Wait(0));
  EXPECT_EQ(calls, 0);
}

// The kernel's own table: a real mount wakes the watcher. Mounting needs the right to; the
// test is skipped where the system does not give it.
TEST(MountWatcher, WakesWhenTheKernelMountsAVolume) {
  QTemporaryDir dir;
  const QByteArray target = QFile::encodeName(dir.filePath(QStringLiteral("volume")));
  QDir().mkpath(QString::fromLocal8Bit(target));
  std::vector<Change> changes;
  MountWatcher watcher(QStringLiteral("/proc/self/mountinfo"),
                       [&](Change change) { changes.push_back(change); });
  ASSERT_GE(watcher.fd(), 0);
  EXPECT_FALSE(watcher.Wait(0)) << "nothing was mounted yet";
  if (::mount("trevalo-test", target.constData(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "this system does not let the test mount a volume: " << std::strerror(errno);
  }
  const bool arrived = watcher.Wait(5000);
  ::umount(target.constData());
  EXPECT_TRUE(arrived);
  EXPECT_EQ(changes, std::vector<Change>{Change::kArrival});
  EXPECT_TRUE(watcher.Wait(5000));
  EXPECT_EQ(changes, (std::vector<Change>{Change::kArrival, Change::kRemoval}));
}

}  // namespace
}  // namespace trevalo
