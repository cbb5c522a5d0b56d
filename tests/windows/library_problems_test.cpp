// A library database that is damaged or cannot be read, as the photo page and the GPS import
// window show it.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>

#include "device/log_import_dialog.h"
#include "library/log_database.h"
#include "library/log_library.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/fake_device_tree.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "tagging/photo_page.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class LibraryProblemsTest : public ::testing::Test {
 protected:
  LibraryProblemsTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  QString LibraryFolder() const { return home_.filePath(kLibraryFolderName); }
  QString DatabasePath() const { return LibraryFolder() + u'/' + kDatabaseFileName; }
  static QLabel* ProblemsOf(const QWidget& window) {
    return window.findChild<QLabel*>(QStringLiteral("libraryFileProblems"));
  }

  QTemporaryDir home_;
  test::FakeDeviceTree fake_{home_.filePath(QStringLiteral("tree"))};
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(LibraryProblemsTest, ThePhotoPageTellsADamagedLibraryFromTheStart) {
  const QString log = home_.filePath(QStringLiteral("a.log"));
  test::WriteFile(log, test::GenerateLog({.hour = 8, .epochs = 10}));
  {
    LogLibrary library(LibraryFolder(), 0);
    ASSERT_TRUE(library.AddLog(log, 0, 0, 0).done());
  }
  {
    PhotoPage page(*settings_, texts_, nullptr,
                   DeviceTree{fake_.mountInfoPath(), fake_.sysfsRoot()});
    EXPECT_TRUE(ProblemsOf(page)->isHidden()) << "a sound library is no news";
  }
  // A line that is no record: the page says the library lost lines, and which.
  QByteArray bytes = test::ReadFile(DatabasePath());
  const QString line = QStringLiteral("not a record\r\n");  // in the file's UTF-16LE
  bytes.append(reinterpret_cast<const char*>(line.utf16()), line.size() * 2);
  test::WriteFile(DatabasePath(), bytes.toStdString());
  PhotoPage page(*settings_, texts_, nullptr, DeviceTree{fake_.mountInfoPath(), fake_.sysfsRoot()});
  EXPECT_EQ(page.library().size(), 1u);
  QLabel* problems = ProblemsOf(page);
  EXPECT_FALSE(problems->isHidden());
  EXPECT_EQ(problems->textFormat(), Qt::PlainText);
  EXPECT_TRUE(problems->text().startsWith(DatabasePath() + u'\n'))
      << problems->text().toStdString();
  EXPECT_TRUE(problems->text().contains(texts_.Text(QStringLiteral("GPSMAN_TEXT_DBDAMAGED"))));
  EXPECT_TRUE(problems->text().contains(QStringLiteral("line 2")))
      << problems->text().toStdString();
}

TEST_F(LibraryProblemsTest, ALibraryThatCannotBeReadIsToldBeforeAndAfterAnImport) {
  QDir().mkpath(DatabasePath());  // something in the database's place that cannot be read
  fake_.AddUsbDisk(QStringLiteral("1-2"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                   QStringLiteral("S"), 8, 16);
  const QString drive = fake_.Mount(QStringLiteral("LOGGER"), 8, 16);
  const QString onLogger = drive + QStringLiteral("/GPS/0517.LOG");
  test::WriteFile(onLogger, test::GenerateLog({.hour = 12, .epochs = 30}));

  PhotoPage page(*settings_, texts_, nullptr, DeviceTree{fake_.mountInfoPath(), fake_.sysfsRoot()});
  const QString unreadable = texts_.Text(QStringLiteral("GPSMAN_TEXT_DBUNREADABLE"));
  EXPECT_FALSE(ProblemsOf(page)->isHidden());
  EXPECT_TRUE(ProblemsOf(page)->text().contains(unreadable))
      << ProblemsOf(page)->text().toStdString();

  LogImportDialog* dialog = page.importDialog();
  dialog->Prepare();
  EXPECT_FALSE(ProblemsOf(*dialog)->isHidden());
  EXPECT_TRUE(ProblemsOf(*dialog)->text().contains(unreadable));
  dialog->findChild<QCheckBox*>(QStringLiteral("deleteAfterImport"))->setChecked(true);
  QString told;
  test::AnswerWhenShown<QMessageBox>(dialog, [&told](QMessageBox* box) {
    EXPECT_EQ(box->objectName(), QStringLiteral("importProblems"));
    told = box->text();
    box->close();
  });
  dialog->Import();
  EXPECT_TRUE(told.contains(QStringLiteral("the library could not record it")))
      << told.toStdString();
  EXPECT_TRUE(told.contains(DatabasePath())) << told.toStdString();
  EXPECT_TRUE(QFile::exists(onLogger)) << "a log the library does not hold stays on the logger";
  EXPECT_TRUE(QFileInfo(DatabasePath()).isDir()) << "the library is left as it is";
}

}  // namespace
}  // namespace trevalo
