#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/language.h"
#include "support/test_files.h"
#include "tagging/table_dialog.h"
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
    QTimer::singleShot(0, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      asked_ = box->text();
      box->button(button)->click();
    });
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
  PhotoList photos_;
  QString asked_;
};

TEST_F(TableDialogTest, WritesTheHeaderAndEveryRowUnderACleanedName) {
  CSaveForExcel dialog(*settings_, texts_, photos_);
  EXPECT_EQ(dialog.saveFolder(), settings_->folders().picturesFolder + u'/');
  dialog.SetSaveFolder(home_.path());
  Answer(QMessageBox::Ok);
  dialog.Save();  // no name yet
  EXPECT_EQ(asked_, texts_.Text(QStringLiteral("SAVE_EXCEL_TEXT_EXCELNAME")));
  dialog.findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("a:b"));
  dialog.Save();
  const QByteArray table = test::ReadFile(home_.filePath(QStringLiteral("a_b.csv")));
  EXPECT_EQ(table, texts_.Text(QStringLiteral("SAVE_EXCEL_HEADER")).toUtf8() + "\r\n");
  EXPECT_EQ(settings_->ReadSetting(setting::kPathSaveExcel), home_.path() + u'/');
  EXPECT_EQ(CSaveForExcel(*settings_, texts_, photos_).saveFolder(), home_.path() + u'/');
}

TEST_F(TableDialogTest, AnsweringNoKeepsTheFileAndStillStoresTheFolder) {
  const QString existing = home_.filePath(QStringLiteral("list.csv"));
  test::WriteFile(existing, "mine");
  CSaveForExcel dialog(*settings_, texts_, photos_);
  dialog.SetSaveFolder(home_.path());
  dialog.findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("list"));
  Answer(QMessageBox::No);
  dialog.Save();
  EXPECT_EQ(asked_, texts_.Text(QStringLiteral("SAVE_TEXT_OVERWRITE")));
  EXPECT_EQ(test::ReadFile(existing), QByteArray("mine"));
  EXPECT_EQ(settings_->ReadSetting(setting::kPathSaveExcel), home_.path() + u'/');
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace trevalo
