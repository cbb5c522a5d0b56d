// The desktop program on a fake logger: the tree it looks at comes from TREVALO_MOUNTINFO
// and TREVALO_SYSFS, so the import window, the settings page and device arrival work end to
// end without hardware.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "desktop/main_window.h"
#include "device/log_import_dialog.h"
#include "library/log_library.h"
#include "support/event_wait.h"
#include "support/fake_device_tree.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "tagging/photo_page.h"
#include "window_settings.h"

namespace trevalo {
namespace {

using test::OnNextModal;

// Sets an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const QString& value) : name_(name) {
    qputenv(name_, value.toLocal8Bit());
  }
  ~ScopedVariable() { qunsetenv(name_); }

 private:
  const char* name_;
};

TEST(LoggerWindowTest, TwoLogsComeFromAFakeLoggerThroughTheImportWindowAndLeaveIt) {
  QTemporaryDir home;
  QTemporaryDir work;
  test::FakeDeviceTree fake(work.filePath(QStringLiteral("tree")));
  fake.AddUsbDisk(QStringLiteral("1-2"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                  QStringLiteral("S1"), 8, 16);
  const QString drive = fake.Mount(QStringLiteral("LOGGER"), 8, 16);
  test::WriteFile(drive + QStringLiteral("/GPS/0517.LOG"),
                  test::GenerateLog({.hour = 9, .epochs = 60}));
  test::WriteFile(drive + QStringLiteral("/GPS/0518.LOG"),
                  test::GenerateLog({.day = 18, .hour = 10, .epochs = 90}));
  const ScopedVariable mountInfo("TREVALO_MOUNTINFO", fake.mountInfoPath());
  const ScopedVariable sysfs("TREVALO_SYSFS", fake.sysfsRoot());

  auto settings = test::WindowSettings(home.path());
  settings->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  MainWindow window(*settings, false);
  window.ShowAsStored();
  PhotoPage* page = window.photoPage();
  ASSERT_EQ(page->logger().state.drive, drive) << "the window does not see the fake logger";

  // GPS Import, with "delete after import" chosen in the window, then the log manager.
  OnNextModal([](QWidget* importWindow) {
    importWindow->findChild<QCheckBox*>(QStringLiteral("deleteAfterImport"))->setChecked(true);
    const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/import-window.png");
    QDir().mkpath(QFileInfo(shot).absolutePath());
    importWindow->grab().save(shot);
    importWindow->findChild<QPushButton*>(QStringLiteral("importButton"))->click();
    OnNextModal([](QWidget* manager) {
      manager->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
  });
  page->findChild<QPushButton*>(QStringLiteral("gpsImportButton"))->click();

  QStringList inLibrary;
  for (const LogRecord& record : page->library().Records()) {
    inLibrary << QFileInfo(record.filePath).fileName();
  }
  inLibrary.sort();
  EXPECT_EQ(inLibrary.join(u'|'), QStringLiteral("0517.LOG|0518.LOG"));
  const QDir libraryFolder(page->library().folder());
  EXPECT_TRUE(libraryFolder.exists(QStringLiteral("0517.LOG")));
  EXPECT_TRUE(libraryFolder.exists(QStringLiteral("0518.LOG")));
  EXPECT_TRUE(QDir(drive + QStringLiteral("/GPS")).entryList(QDir::Files).isEmpty())
      << "the logs stayed on the logger";
}

}  // namespace
}  // namespace trevalo
