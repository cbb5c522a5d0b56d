// A settings file that cannot be written: what the program keeps on its own is told once a
// session, what the user sets on purpose is told at once.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include "desktop/main_window.h"
#include "desktop/settings_page.h"
#include "shell/language.h"
#include "support/event_wait.h"
#include "support/test_files.h"
#include "tagging/photo_page.h"

namespace trevalo {
namespace {

class SettingsFailureTest : public ::testing::Test {
 protected:
  SettingsFailureTest() {
    AppFolders folders = AppFolders::InHome(home_.path());
    folders.dataFolder = test::SourceFolder() + QStringLiteral("/resources");
    folders.configFolder = home_.filePath(QStringLiteral("config"));
    settings_ = std::make_unique<Settings>(folders);
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  // Lets queued events and short timers run.
  static void Settle(int milliseconds = 400) {
    for (int waited = 0; waited < milliseconds; waited += 20) {
      QApplication::processEvents();
      QThread::msleep(20);
    }
    QApplication::processEvents();
  }
  static QList<QMessageBox*> Warnings(const QWidget& window) {
    return window.findChildren<QMessageBox*>(QStringLiteral("settingsNotKept"));
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(SettingsFailureTest, WhatTheProgramKeepsOnItsOwnIsToldOncePerSession) {
  // The settings file replaced by a folder: it can be neither read nor replaced.
  QFile::remove(settings_->SettingsFilePath());
  QDir().mkpath(settings_->SettingsFilePath());
  MainWindow window(*settings_, false);  // writes its show mode at once
  window.ShowAsStored();
  Settle();
  QList<QMessageBox*> warnings = Warnings(window);
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings.front()->isVisible());
  const LanguageTexts shown = LanguageTexts::Load(*settings_);  // what the window could read
  EXPECT_TRUE(warnings.front()->text().startsWith(
      shown.MultiLineText(QStringLiteral("MAIN_TEXT_SETTINGSNOTKEPT"))))
      << warnings.front()->text().toStdString();
  EXPECT_TRUE(warnings.front()->text().contains(settings_->SettingsFilePath()));
  warnings.front()->close();
  Settle(50);

  // The layout and a column drag fail again, and say nothing more.
  window.setGeometry(40, 40, 800, 500);
  Settle();
  window.FlushLayout();
  auto* photos = window.photoPage()->findChild<QTableWidget*>(QStringLiteral("photoList"));
  photos->horizontalHeader()->resizeSection(1, 177);
  Settle();
  EXPECT_TRUE(Warnings(window).isEmpty());
  EXPECT_TRUE(QFileInfo(settings_->SettingsFilePath()).isDir()) << "left as it is";
}

TEST_F(SettingsFailureTest, ASettingTheUserChangesIsToldAtOnceWhenItCannotBeKept) {
  SettingsPage page(*settings_, texts_, nullptr);
  // The settings folder replaced by a file.
  QDir(settings_->folders().configFolder).removeRecursively();
  test::WriteFile(settings_->folders().configFolder, "not a folder");

  QStringList told;
  const auto answer = [&told](QMessageBox* box) {
    EXPECT_EQ(box->objectName(), QStringLiteral("settingNotKept"));
    told << box->text();
    box->close();
  };
  QSignalSpy languageChanged(&page, &SettingsPage::languageChanged);
  auto* languages = page.findChild<QComboBox*>(QStringLiteral("languages"));
  languages->setCurrentIndex(languages->findData(QStringLiteral("LANG_KOR.INI")));
  test::AnswerWhenShown<QMessageBox>(&page, answer);
  page.findChild<QPushButton*>(QStringLiteral("setLanguage"))->click();
  EXPECT_EQ(languageChanged.count(), 0) << "the pages stay in the language they are in";

  test::AnswerWhenShown<QMessageBox>(&page, answer);
  page.findChild<QCheckBox*>(QStringLiteral("showTrack"))->click();
  test::AnswerWhenShown<QMessageBox>(&page, answer);
  page.findChild<QComboBox*>(QStringLiteral("tolerance"))->setCurrentIndex(2);

  ASSERT_EQ(told.size(), 3);
  EXPECT_TRUE(
      told[0].startsWith(texts_.MultiLineText(QStringLiteral("SETTING_TEXT_LANGUAGENOTKEPT"))))
      << told[0].toStdString();
  for (const QString& text : told.mid(1)) {
    EXPECT_TRUE(text.startsWith(texts_.MultiLineText(QStringLiteral("SETTING_TEXT_NOTKEPT"))))
        << text.toStdString();
  }
  for (const QString& text : told) {
    EXPECT_TRUE(text.contains(settings_->folders().configFolder)) << text.toStdString();
  }
}

}  // namespace
}  // namespace trevalo
