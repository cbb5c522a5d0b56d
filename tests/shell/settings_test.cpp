#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "shell/settings.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() : settings_(AppFolders::InHome(home_.path() + QStringLiteral("/home"))) {}
  void WriteSettingsFile(const char* text) { test::WriteFile(settings_.SettingsFilePath(), text); }
  QTemporaryDir home_;
  Settings settings_;
};

TEST_F(SettingsTest, MissingValuesAreNeverAnError) {
  EXPECT_FALSE(settings_.SettingsFileExists());
  EXPECT_EQ(settings_.ReadSetting(setting::kPathOpen), QString());
  EXPECT_EQ(settings_.ReadSettingInt(setting::kTimeTolerance), 0);
  EXPECT_FALSE(settings_.ReadFlag(setting::kShowTrack));
  EXPECT_FALSE(settings_.SettingsFileExists());  // reading creates nothing
}

TEST_F(SettingsTest, ReadsTextIntegersAndFlags) {
  WriteSettingsFile(
      "[Wayfable]\n"
      "TIME_TOLERANCE=3\n"
      "WINDOW_PLACEMENT_LEFT=-40\n"
      "LC_MAIN_W_2=120px\n"
      "PATH_OPEN=abc\n"
      "OPT_SHOWTRACK=1\n"
      "OPT_SUMMERTIME=yes\n"
      "OPT_TAG_APPLY=true\n"
      "OPT_WAYPOINT_APPLY=10\n"
      "SUPPORT_SKIN=0\n");
  EXPECT_EQ(settings_.ReadSettingInt(setting::kTimeTolerance), 3);
  EXPECT_EQ(settings_.ReadSettingInt(setting::kWindowPlacementLeft), -40);
  EXPECT_EQ(settings_.ReadSettingInt(setting::ColumnWidthKey(setting::kPhotoListColumnPrefix, 2)),
            120);
  EXPECT_EQ(settings_.ReadSettingInt(setting::kPathOpen), 0);
  EXPECT_TRUE(settings_.ReadFlag(setting::kShowTrack));
  EXPECT_FALSE(settings_.ReadFlag(setting::kSummerTime));  // only a leading "1" is on
  EXPECT_FALSE(settings_.ReadFlag(setting::kTagApply));
  EXPECT_TRUE(settings_.ReadFlag(setting::kWaypointApply));
  EXPECT_FALSE(settings_.ReadFlag(setting::kSupportSkin));
}

TEST_F(SettingsTest, LongValuesAreCutAtTheReadersCapacity) {
  const QString longFolder = u'/' + QString(3000, u'f');
  ASSERT_TRUE(settings_.WriteSetting(setting::kPathSave, longFolder));
  EXPECT_EQ(settings_.ReadSetting(setting::kPathSave, setting::kSaveFolderCapacity).size(), 2048);
  EXPECT_EQ(settings_.ReadSetting(setting::kPathSave).size(), setting::kValueCapacity);
}

TEST_F(SettingsTest, WritesCreateTheFileAndGoThroughAtOnce) {
  ASSERT_TRUE(settings_.WriteFlag(setting::kShowTrack, true));
  EXPECT_TRUE(settings_.SettingsFileExists());
  ASSERT_TRUE(settings_.WriteSettingInt(setting::kTimeTolerance, 99));
  ASSERT_TRUE(settings_.WriteSettings(
      {{setting::kWindowRect, QStringLiteral("2")}, {setting::kPathLog, QStringLiteral("/logs")}}));
  EXPECT_EQ(test::ReadFile(settings_.SettingsFilePath()),
            "[Wayfable]\nOPT_SHOWTRACK=1\nTIME_TOLERANCE=99\nWINDOW_RECT=2\nPATH_LOG=/logs\n");
  ASSERT_TRUE(settings_.WriteFlag(setting::kShowTrack, false));
  EXPECT_FALSE(settings_.ReadFlag(setting::kShowTrack));
  EXPECT_EQ(settings_.ReadSetting(setting::kPathLog, setting::kFolderCapacity),
            QStringLiteral("/logs"));
}

TEST_F(SettingsTest, AFileThatCannotBeReadIsNotReplaced) {
  QDir().mkpath(settings_.SettingsFilePath());  // a folder where the file should be
  EXPECT_FALSE(settings_.WriteSetting(setting::kWindowRect, QStringLiteral("2")));
  EXPECT_TRUE(QFileInfo(settings_.SettingsFilePath()).isDir());
}

TEST_F(SettingsTest, AWriteThatCannotPersistReportsIt) {
  test::WriteFile(home_.filePath(QStringLiteral("plain-file")), "x");
  const Settings blocked(AppFolders::InHome(home_.filePath(QStringLiteral("plain-file/sub"))));
  EXPECT_FALSE(blocked.WriteSetting(setting::kWindowRect, QStringLiteral("2")));
  EXPECT_EQ(blocked.ReadSetting(setting::kWindowRect), QString());
}

TEST_F(SettingsTest, AFailedWriteIsToldToItsCallerOrElseToTheHandler) {
  QStringList handled;
  settings_.SetWriteFailureHandler([&handled](const QString& problem) { handled << problem; });
  ASSERT_TRUE(settings_.WriteFlag(setting::kShowTrack, true));
  EXPECT_TRUE(handled.isEmpty()) << "a write that persists is no news";

  // The file replaced by a folder: it can be neither read nor replaced.
  QFile::remove(settings_.SettingsFilePath());
  QDir().mkpath(settings_.SettingsFilePath());
  QString problem;
  EXPECT_FALSE(settings_.WriteFlag(setting::kShowTrack, false, &problem));
  EXPECT_TRUE(problem.contains(settings_.SettingsFilePath())) << problem.toStdString();
  EXPECT_TRUE(handled.isEmpty()) << "the caller who asked tells it";
  EXPECT_FALSE(settings_.WriteSettings({{setting::kWindowRect, QStringLiteral("2")}}));
  EXPECT_FALSE(settings_.WriteSettingInt(setting::kTimeTolerance, 2));
  ASSERT_EQ(handled.size(), 2);
  EXPECT_EQ(handled[0], problem);

  // Its folder replaced by a file: the folder cannot be made.
  const Settings blocked(AppFolders::InHome(home_.filePath(QStringLiteral("plain-file/sub"))));
  test::WriteFile(home_.filePath(QStringLiteral("plain-file")), "x");
  EXPECT_FALSE(blocked.WriteSetting(setting::kWindowRect, QStringLiteral("2"), &problem));
  EXPECT_TRUE(problem.contains(home_.filePath(QStringLiteral("plain-file/sub"))))
      << problem.toStdString();
}

TEST(AppFoldersTest, HomeHoldsEveryWrittenFile) {
  const AppFolders folders = AppFolders::InHome(QStringLiteral("/tmp/somewhere/"));
  EXPECT_EQ(folders.configFolder, QStringLiteral("/tmp/somewhere"));
  EXPECT_EQ(folders.cacheFolder, folders.configFolder);
  EXPECT_EQ(folders.documentsFolder, folders.configFolder);
  EXPECT_EQ(folders.picturesFolder, folders.configFolder);
  EXPECT_EQ(folders.runtimeFolder, folders.configFolder);
  EXPECT_FALSE(folders.dataFolder.isEmpty());
}

}  // namespace
}  // namespace trevalo
