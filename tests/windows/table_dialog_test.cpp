#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "library/log_library.h"
#include "shell/display_format.h"
#include "shell/language.h"
#include "support/event_wait.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/table_dialog.h"
#include "widgets/progress_dialog.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class TableDialogTest : public ::testing::Test {
 protected:
  TableDialogTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  // Answers the next message box with `button`, noting its text.
  void Answer(QMessageBox::StandardButton button) {
    test::AnswerWhenShown<QMessageBox>(&answers_, [this, button](QMessageBox* box) {
      asked_ = box->text();
      box->button(button)->click();
    });
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
  PhotoList photos_;
  QString asked_;
  QObject answers_;  // owns the waits for message boxes
};

TEST_F(TableDialogTest, WritesTheHeaderAndEveryRowUnderACleanedName) {
  TableDialog dialog(*settings_, texts_, photos_);
  EXPECT_EQ(dialog.saveFolder(), settings_->folders().picturesFolder + u'/');
  dialog.SetSaveFolder(home_.path());
  Answer(QMessageBox::Ok);
  dialog.Save();  // no name yet
  EXPECT_EQ(asked_, texts_.Text(QStringLiteral("SAVE_EXCEL_TEXT_EXCELNAME")));
  dialog.findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("a:b"));
  Answer(QMessageBox::Ok);
  dialog.Save();
  EXPECT_EQ(asked_, QStringLiteral("1 file(s) written to %1.").arg(home_.path()));
  const QByteArray table = test::ReadFile(home_.filePath(QStringLiteral("a_b.CSV")));
  EXPECT_EQ(table, texts_.Text(QStringLiteral("SAVE_EXCEL_HEADER")).toUtf8() + "\r\n");
  EXPECT_EQ(settings_->ReadSetting(setting::kPathSaveExcel), home_.path() + u'/');
  EXPECT_EQ(TableDialog(*settings_, texts_, photos_).saveFolder(), home_.path() + u'/');
}

TEST_F(TableDialogTest, AnsweringNoKeepsTheFileAndStillStoresTheFolder) {
  const QString existing = home_.filePath(QStringLiteral("list.CSV"));
  test::WriteFile(existing, "mine");
  TableDialog dialog(*settings_, texts_, photos_);
  dialog.SetSaveFolder(home_.path());
  dialog.findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("list"));
  Answer(QMessageBox::No);
  dialog.Save();
  // The question names the file it would replace.
  EXPECT_EQ(asked_, texts_.Text(QStringLiteral("SAVE_TEXT_OVERWRITE")) + u'\n' + existing);
  EXPECT_EQ(test::ReadFile(existing), QByteArray("mine"));
  EXPECT_EQ(settings_->ReadSetting(setting::kPathSaveExcel), home_.path() + u'/');
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(TableDialogTest, TheProgressLineStaysEmptyAndAPhotoWithoutADateHasNone) {
  const QString dated = home_.filePath(QStringLiteral("a.jpg"));
  const QString undated = home_.filePath(QStringLiteral("undated.jpg"));
  if (!test::MakePhotoTakenAt(dated, "2009:05:17 21:01:00") ||
      !test::MakePhotoTakenAt(undated, "")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  LogLibrary library = LogLibrary::InMemory({}, 0);
  const DisplayFormats formats = LoadDisplayFormats(texts_);
  ASSERT_EQ(photos_.AddPhoto(dated, library, {}, formats), PhotoList::AddResult::kAdded);
  ASSERT_EQ(photos_.AddPhoto(undated, library, {}, formats), PhotoList::AddResult::kAdded);
  TableDialog dialog(*settings_, texts_, photos_);
  dialog.SetSaveFolder(home_.path());
  dialog.findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("list"));
  // What the progress window's line shows at every pass of the event loop while it is up.
  QStringList lines;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (const auto* progress = dialog.findChild<ProgressDialog*>()) {
      lines << progress->text() +
                   progress->findChild<QLabel*>(QStringLiteral("progressText"))->text();
    }
  });
  look.start(0);
  Answer(QMessageBox::Ok);
  dialog.Save();
  look.stop();
  EXPECT_GE(lines.size(), 2);
  EXPECT_EQ(lines.join(QString()), QString()) << lines.join(u'|').toStdString();

  const QList<QByteArray> table =
      test::ReadFile(home_.filePath(QStringLiteral("list.CSV"))).split('\n');
  ASSERT_GE(table.size(), 3);
  EXPECT_TRUE(table[1].startsWith("1,a.jpg,2009-05-17 21:01:00,")) << table[1].toStdString();
  EXPECT_EQ(table[2], "2,undated.jpg,,,,," + undated.toUtf8() + ",\r");
}

}  // namespace
}  // namespace trevalo
