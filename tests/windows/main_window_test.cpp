#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeEdit>
#include <QTimer>

#include "desktop/main_window.h"
#include "desktop/settings_page.h"
#include "device/log_import_dialog.h"
#include "files/native_path.h"
#include "map/map_page.h"
#include "support/event_wait.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/correction_dialog.h"
#include "tagging/photo_page.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() { settings_ = test::WindowSettings(home_.path()); }
  void UseLanguage(const char* file) {
    settings_->WriteSetting(setting::kLangFile, QString::fromLatin1(file));
  }
  QStringList TabCaptions(const MainWindow& window) const {
    QStringList captions;
    for (int i = 0; i < window.tabs()->count(); ++i) {
      captions << window.tabs()->tabText(i);
    }
    return captions;
  }
  QString FirmwareLine(const MainWindow& window) const {
    return window.versionPage()->findChild<QLabel*>(QStringLiteral("firmwareLine"))->text();
  }
  void Settle() {
    for (int i = 0; i < 5; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
};

TEST_F(MainWindowTest, FirstRunOpensTheSettingsTabWithThePrompt) {
  ASSERT_FALSE(settings_->SettingsFileExists());
  MainWindow window(*settings_, false);
  EXPECT_TRUE(window.firstRun());
  EXPECT_EQ(window.tabs()->currentIndex(), MainWindow::kSettingsTab);
  ASSERT_NE(window.firstRunPrompt(), nullptr);
  EXPECT_EQ(window.firstRunPrompt()->text(),
            QStringLiteral("First run.\nPlease set the language option.\nClick 'Set Language' "
                           "after selection."));
  EXPECT_EQ(window.firstRunPrompt()->icon(), QMessageBox::NoIcon);

  window.ShowAsStored();
  Settle();
  EXPECT_TRUE(window.firstRunPrompt()->isVisible());  // shown without blocking start-up
  EXPECT_TRUE(window.isMaximized());
  window.FlushLayout();
  EXPECT_EQ(settings_->ReadSetting(setting::kWindowRect), QStringLiteral("2"));
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowRectRight), window.width());
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowRectBottom), window.height());
}

TEST_F(MainWindowTest, FirstRunOnAKoreanSystem) {
  MainWindow window(*settings_, true);
  ASSERT_NE(window.firstRunPrompt(), nullptr);
  EXPECT_EQ(window.firstRunPrompt()->icon(), QMessageBox::Information);
  EXPECT_TRUE(window.firstRunPrompt()->text().startsWith(QStringLiteral("첫 실행입니다.\n")));
}

TEST_F(MainWindowTest, TabsInTheirOrderWithCaptionsFromTheLanguageFile) {
  UseLanguage("LANG_ENG.INI");
  MainWindow english(*settings_, false);
  EXPECT_FALSE(english.firstRun());
  EXPECT_EQ(english.firstRunPrompt(), nullptr);
  EXPECT_EQ(english.tabs()->currentIndex(), MainWindow::kPhotoTab);
  EXPECT_EQ(TabCaptions(english),
            (QStringList{QStringLiteral("Photos"), QStringLiteral("Map"),
                         QStringLiteral("Settings"), QStringLiteral("About")}));
  EXPECT_EQ(english.windowTitle(), QStringLiteral("Trevalo"));
  EXPECT_EQ(english.tabs()->widget(0), english.photoPage());
  EXPECT_EQ(english.tabs()->widget(1), english.mapPage());
  EXPECT_EQ(english.tabs()->widget(2), english.settingsPage());
  EXPECT_EQ(english.tabs()->widget(3), english.versionPage());

  UseLanguage("LANG_KOR.INI");
  MainWindow korean(*settings_, false);
  EXPECT_EQ(TabCaptions(korean), (QStringList{QStringLiteral("사진"), QStringLiteral("지도"),
                                              QStringLiteral("설정"), QStringLiteral("정보")}));

  UseLanguage("LANG_MISSING.INI");
  MainWindow missing(*settings_, false);
  EXPECT_EQ(TabCaptions(missing), QStringList(4, QStringLiteral("LANGUAGE")));
}

// A column widened just before the window closes (or the language changes) is kept.
TEST_F(MainWindowTest, AColumnWidthChangedJustBeforeClosingIsKept) {
  UseLanguage("LANG_ENG.INI");
  const QString key = setting::ColumnWidthKey(setting::kPhotoListColumnPrefix, 1);
  for (const bool close : {false, true}) {
    auto window = std::make_unique<MainWindow>(*settings_, false);
    window->ShowAsStored();
    Settle();
    const int width = close ? 231 : 197;
    window->photoPage()
        ->findChild<QTableWidget*>(QStringLiteral("photoList"))
        ->setColumnWidth(1, width);
    if (close) {
      window.reset();
    } else {
      window->ReloadLanguage();
    }
    EXPECT_EQ(settings_->ReadSettingInt(key), width) << (close ? "closed" : "language changed");
  }
}

TEST_F(MainWindowTest, ReloadLanguageRecreatesThePages) {
  UseLanguage("LANG_ENG.INI");
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  window.SelectTab(MainWindow::kVersionTab);
  window.ShowFirmwareNumber(7);
  const QPointer<QWidget> oldPhotoPage = window.photoPage();

  UseLanguage("LANG_KOR.INI");
  window.ReloadLanguage();
  // The old page is gone (a new one may well reuse its memory).
  EXPECT_TRUE(oldPhotoPage.isNull());
  EXPECT_NE(window.photoPage(), nullptr);
  EXPECT_EQ(window.tabs()->count(), 4);
  EXPECT_EQ(window.tabs()->tabText(MainWindow::kSettingsTab), QStringLiteral("설정"));
  EXPECT_EQ(window.tabs()->currentIndex(), MainWindow::kPhotoTab);
  // The new settings page tells the new version page what is connected: nothing here.
  EXPECT_EQ(FirmwareLine(window), QStringLiteral("Device Firmware : Ver ( Not Connected )"));
}

// The whole work of the photo page, then a language change: the new page carries on with
// the same photos, matches, corrections, options and selection.
TEST_F(MainWindowTest, ALanguageChangeKeepsThePhotoPagesWork) {
  // A camera a day behind: its 16 May is the log's 17 May.
  const QString inTheLog = home_.filePath(QStringLiteral("walk.jpg"));
  const QString outside = home_.filePath(QStringLiteral("later.jpg"));
  if (!test::MakePhotoTakenAt(inTheLog, "2009:05:16 21:01:30") ||
      !test::MakePhotoTakenAt(outside, "2009:06:01 10:00:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  UseLanguage("LANG_ENG.INI");
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  PhotoPage* page = window.photoPage();
  const QString log = home_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  ASSERT_TRUE(page->library().AddLog(log, 0, 0, 900).done());
  page->AddPhotos({inTheLog, outside});
  ASSERT_EQ(page->photos().size(), 2u);

  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<CorrectionDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    auto* cameraDate = dialog->findChild<QDateEdit*>(QStringLiteral("cameraDate"));
    cameraDate->setDate(dialog->findChild<QDateEdit*>(QStringLiteral("currentDate"))->date());
    cameraDate->setDate(cameraDate->date().addDays(-1));
    dialog->findChild<QTimeEdit*>(QStringLiteral("cameraTime"))
        ->setTime(dialog->findChild<QTimeEdit*>(QStringLiteral("currentTime"))->time());
    dialog->Apply();
  });
  page->CorrectCameraTime();
  ASSERT_EQ(page->matchSettings().cameraSpan, 86400);
  window.settingsPage()->findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
  window.settingsPage()->findChild<QSlider*>(QStringLiteral("latitudeCorrection"))->setValue(-250);
  page->importDialog()->SetDeleteAfterImport(true);
  auto* list = page->findChild<QTableWidget*>(QStringLiteral("photoList"));
  const int walkRow = *page->photos().Find(inTheLog) == 0 ? 0 : 1;
  list->selectRow(walkRow);
  const PhotoRow before = page->photos().rows()[static_cast<std::size_t>(walkRow)];
  ASSERT_TRUE(before.matched);
  ASSERT_TRUE(before.dateText.startsWith(QStringLiteral("2009-05-17")));

  UseLanguage("LANG_KOR.INI");
  window.ReloadLanguage();
  page = window.photoPage();
  ASSERT_EQ(page->photos().size(), 2u);
  const PhotoRow& after = page->photos().rows()[static_cast<std::size_t>(walkRow)];
  EXPECT_EQ(after.path, inTheLog);
  EXPECT_TRUE(after.matched);
  EXPECT_EQ(after.dateText, before.dateText);
  EXPECT_EQ(after.latitudeText, before.latitudeText);
  EXPECT_EQ(after.logFile, log);
  EXPECT_EQ(page->library().size(), 1u);
  const MatchSettings match = page->matchSettings();
  EXPECT_TRUE(match.cameraCorrection);
  EXPECT_EQ(match.cameraSpan, 86400);
  EXPECT_TRUE(match.positionCorrection);
  EXPECT_EQ(match.latitudeOffset, -250);
  EXPECT_TRUE(page->importDialog()->deleteAfterImport());
  // The windows show the same.
  list = page->findChild<QTableWidget*>(QStringLiteral("photoList"));
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(list->item(walkRow, PhotoPage::kLatitude)->text(), before.latitudeText);
  EXPECT_EQ(list->horizontalHeaderItem(PhotoPage::kPath)->text(), QStringLiteral("경로"));
  const QModelIndexList selected = list->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected.front().row(), walkRow);
  EXPECT_TRUE(page->findChild<QPushButton*>(QStringLiteral("saveButton"))->isEnabled());
  EXPECT_TRUE(
      window.settingsPage()->findChild<QRadioButton*>(QStringLiteral("correctionOn"))->isChecked());
  EXPECT_EQ(
      window.settingsPage()->findChild<QSlider*>(QStringLiteral("latitudeCorrection"))->value(),
      -250);
}

TEST_F(MainWindowTest, VersionPageFirmwareLine) {
  UseLanguage("LANG_ENG.INI");
  MainWindow window(*settings_, false);
  const QLabel* line = window.versionPage()->findChild<QLabel*>(QStringLiteral("firmwareLine"));
  EXPECT_EQ(line->text(), QStringLiteral("Device Firmware : Ver ( Not Connected )"));
  EXPECT_FALSE(line->isEnabled());
  window.ShowFirmwareNumber(0);
  EXPECT_EQ(line->text(),
            QStringLiteral("[N3] Device Firmware : Ver ( unknown, please update the firmware )"));
  EXPECT_TRUE(line->isEnabled());
  window.ShowFirmwareNumber(12);
  EXPECT_EQ(line->text(), QStringLiteral("[N3] Device Firmware : Ver 12"));
  window.ShowFirmwareText(QStringLiteral("R6"), QStringLiteral("1.04"));
  EXPECT_EQ(line->text(), QStringLiteral("[R6] Device Firmware : Ver 1.04"));
  EXPECT_TRUE(line->isEnabled());
}

TEST_F(MainWindowTest, RestoresTheStoredNormalPlacement) {
  settings_->WriteSettings({{setting::kWindowRect, QStringLiteral("0")},
                            {setting::kWindowPlacementLeft, QStringLiteral("100")},
                            {setting::kWindowPlacementTop, QStringLiteral("120")},
                            {setting::kWindowPlacementRight, QStringLiteral("900")},
                            {setting::kWindowPlacementBottom, QStringLiteral("720")}});
  MainWindow window(*settings_, false);
  EXPECT_EQ(window.showMode(), MainWindow::kNormal);
  window.ShowAsStored();
  Settle();
  EXPECT_FALSE(window.isMaximized());
  EXPECT_EQ(window.geometry(), QRect(100, 120, 800, 600));
}

TEST_F(MainWindowTest, AnEmptyPlacementLeavesTheSizeToTheWindow) {
  settings_->WriteSetting(setting::kWindowRect, QStringLiteral("1"));
  MainWindow window(*settings_, false);
  EXPECT_EQ(window.showMode(), MainWindow::kNormalFromFile);
  window.ShowAsStored();
  Settle();
  EXPECT_FALSE(window.isMaximized());
  EXPECT_EQ(window.size(), QSize(842, 533));
}

TEST_F(MainWindowTest, AnUnknownShowModeIsRewrittenAsMaximised) {
  settings_->WriteSetting(setting::kWindowRect, QStringLiteral("7"));
  MainWindow window(*settings_, false);
  EXPECT_EQ(window.showMode(), MainWindow::kMaximised);
  EXPECT_EQ(settings_->ReadSetting(setting::kWindowRect), QStringLiteral("2"));
}

TEST_F(MainWindowTest, ResizingWritesEveryWindowKeyAndMinimisingNone) {
  settings_->WriteSetting(setting::kWindowRect, QStringLiteral("0"));
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  Settle();
  window.setGeometry(50, 60, 700, 500);
  Settle();
  window.FlushLayout();
  EXPECT_EQ(settings_->ReadSetting(setting::kWindowRect), QStringLiteral("0"));
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementLeft), 50);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementTop), 60);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementRight), 750);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementBottom), 560);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowRectLeft), 0);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowRectTop), 0);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowRectRight), 700);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowRectBottom), 500);

  window.showMaximized();
  Settle();
  window.FlushLayout();
  EXPECT_EQ(settings_->ReadSetting(setting::kWindowRect), QStringLiteral("2"));
  // The normal placement is kept while maximised.
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementRight), 750);

  const QByteArray before = test::ReadFile(settings_->SettingsFilePath());
  window.showMinimized();
  Settle();
  window.FlushLayout();
  EXPECT_EQ(test::ReadFile(settings_->SettingsFilePath()), before);
}

TEST_F(MainWindowTest, AMoveAloneIsWritten) {
  settings_->WriteSettings({{setting::kWindowRect, QStringLiteral("0")},
                            {setting::kWindowPlacementLeft, QStringLiteral("100")},
                            {setting::kWindowPlacementTop, QStringLiteral("120")},
                            {setting::kWindowPlacementRight, QStringLiteral("900")},
                            {setting::kWindowPlacementBottom, QStringLiteral("720")}});
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  Settle();
  window.FlushLayout();
  window.move(300, 200);
  Settle();
  window.FlushLayout();
  const QRect moved = window.geometry();
  ASSERT_NE(moved.topLeft(), QPoint(100, 120));
  ASSERT_EQ(moved.size(), QSize(800, 600));
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementLeft), moved.left());
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementTop), moved.top());
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementRight), moved.left() + 800);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementBottom), moved.top() + 600);
}

TEST_F(MainWindowTest, AMaximisedStartKeepsTheStoredNormalPlacement) {
  settings_->WriteSettings({{setting::kWindowRect, QStringLiteral("2")},
                            {setting::kWindowPlacementLeft, QStringLiteral("100")},
                            {setting::kWindowPlacementTop, QStringLiteral("120")},
                            {setting::kWindowPlacementRight, QStringLiteral("900")},
                            {setting::kWindowPlacementBottom, QStringLiteral("720")}});
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  Settle();
  EXPECT_TRUE(window.isMaximized());
  // Restoring the window returns it to the stored placement.
  EXPECT_EQ(window.normalGeometry(), QRect(100, 120, 800, 600));
  window.FlushLayout();
  EXPECT_EQ(settings_->ReadSetting(setting::kWindowRect), QStringLiteral("2"));
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementLeft), 100);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementRight), 900);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementBottom), 720);

  window.showNormal();
  Settle();
  window.FlushLayout();
  EXPECT_EQ(settings_->ReadSetting(setting::kWindowRect), QStringLiteral("0"));
  EXPECT_EQ(window.geometry(), QRect(100, 120, 800, 600));
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementLeft), 100);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementTop), 120);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementRight), 900);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kWindowPlacementBottom), 720);
}

TEST_F(MainWindowTest, EnterAndEscapeCloseNothing) {
  UseLanguage("LANG_ENG.INI");
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  Settle();
  // A key a widget leaves unaccepted goes on to its parents and, past the main window, to
  // whatever holds it: each of these keys is taken by a page or, at the latest, the window.
  for (const int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    for (QWidget* target :
         {static_cast<QWidget*>(&window), static_cast<QWidget*>(window.photoPage()),
          static_cast<QWidget*>(window.mapPage()), static_cast<QWidget*>(window.settingsPage()),
          static_cast<QWidget*>(window.versionPage())}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(target, &press);
      EXPECT_TRUE(press.isAccepted())
          << "key " << key << " passed by " << target->objectName().toStdString();
    }
  }
  Settle();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.tabs()->count(), 4);
  EXPECT_EQ(window.tabs()->currentIndex(), MainWindow::kPhotoTab);
}

TEST_F(MainWindowTest, TheAboutLinkOfTheMapPagesOpensTheAboutWindow) {
  UseLanguage("LANG_ENG.INI");
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  Settle();
  window.ShowFirmwareNumber(12);
  QString title;
  QString firmware;
  bool modal = false;
  test::AnswerWhenShown<QDialog>(&window, [&](QDialog* about) {
    title = about->windowTitle();
    modal = about->isModal();
    if (const auto* line = about->findChild<QLabel*>(QStringLiteral("firmwareLine"))) {
      firmware = line->text();
    }
    about->accept();
  });
  Q_EMIT window.mapPage()->aboutRequested();
  // The version page's content in a window of its own; the tabs stay as they were.
  EXPECT_TRUE(modal);
  EXPECT_EQ(title, QStringLiteral("About"));
  EXPECT_EQ(firmware, QStringLiteral("[N3] Device Firmware : Ver 12"));
  EXPECT_EQ(window.tabs()->currentIndex(), MainWindow::kPhotoTab);
}

TEST_F(MainWindowTest, ASecondInstanceEndsSilently) {
  const QString program = test::BinaryFolder() + QStringLiteral("/trevalo");
  ASSERT_TRUE(QFileInfo::exists(program));
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("TREVALO_HOME"), home_.path());
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess first;
  first.setProcessEnvironment(environment);
  first.start(program, {});
  ASSERT_TRUE(first.waitForStarted());
  // The first instance holds the lock once it is up.
  const QString lock = home_.filePath(QStringLiteral("QarnLab_Trevalo.lock"));
  for (int i = 0; i < 200 && !QFileInfo::exists(lock); ++i) {
    QThread::msleep(25);
  }
  ASSERT_TRUE(QFileInfo::exists(lock));

  QProcess second;
  second.setProcessEnvironment(environment);
  second.start(program, {});
  ASSERT_TRUE(second.waitForFinished(15000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  ASSERT_TRUE(first.waitForFinished(15000));
}

TEST_F(MainWindowTest, WithoutARuntimeFolderTheInstanceKeepsToAFolderOnlyItsUserEnters) {
  const QString program = test::BinaryFolder() + QStringLiteral("/trevalo");
  // No session runtime folder and no TREVALO_HOME: the user's own folders under a home of
  // the test's, and a shared temporary folder as /tmp is (sticky, anyone writes).
  const QString user = home_.filePath(QStringLiteral("user"));
  const QString shared = home_.filePath(QStringLiteral("shared"));
  ASSERT_TRUE(QDir().mkpath(user));
  ASSERT_TRUE(QDir().mkpath(shared));
  ASSERT_EQ(::chmod(NativePath(shared).constData(), 01777), 0);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name :
       {"XDG_RUNTIME_DIR", "TREVALO_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
    environment.remove(QLatin1String(name));
  }
  environment.insert(QStringLiteral("HOME"), user);
  environment.insert(QStringLiteral("TMPDIR"), shared);
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  const QString ownFolder = shared + QStringLiteral("/trevalo-%1").arg(::geteuid());
  const QString cacheFolder = user + QStringLiteral("/.cache/trevalo/runtime");
  const auto modeOf = [](const QString& path) {
    struct stat status {};
    return ::lstat(NativePath(path).constData(), &status) == 0 ? status.st_mode : 0u;
  };

  // Starts the program, checks that its socket is in `folder`, a folder of mode 0700, and
  // that a later start hands it a photo and ends, then ends it.
  const auto startIn = [&](const QString& folder) {
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = folder + QStringLiteral("/QarnLab_Trevalo.socket");
    for (int i = 0; i < 400 && !S_ISSOCK(modeOf(socket)); ++i) {
      QThread::msleep(25);
    }
    EXPECT_TRUE(S_ISSOCK(modeOf(socket))) << socket.toStdString();
    EXPECT_EQ(modeOf(folder) & 07777, 0700u);
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, {home_.filePath(QStringLiteral("photo.jpg"))});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(15000));
  };

  // A lock left by a program that was killed, even one cut short, keeps no start out.
  ASSERT_TRUE(QDir().mkpath(ownFolder));
  test::WriteFile(ownFolder + QStringLiteral("/QarnLab_Trevalo.lock"), "");
  ASSERT_EQ(::chmod(NativePath(ownFolder).constData(), 0755), 0);
  startIn(ownFolder);

  // Another user who made the folder first gets nothing: the program keeps to one in its
  // cache folder.
  if (::geteuid() == 0) {
    ASSERT_TRUE(QDir(ownFolder).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(ownFolder));
    ASSERT_EQ(::chmod(NativePath(ownFolder).constData(), 0777), 0);
    ASSERT_EQ(::chown(NativePath(ownFolder).constData(), 65534, 65534), 0);
    startIn(cacheFolder);
    EXPECT_TRUE(QDir(ownFolder).isEmpty());
  }
}

TEST_F(MainWindowTest, TheWindowCarriesTheProgramsIconAtEverySize) {
  MainWindow window(*settings_, false);
  const QList<QSize> sizes = window.windowIcon().availableSizes();
  for (const int size : {16, 32, 48, 256}) {
    EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
  }
  const QImage picture = window.windowIcon().pixmap(QSize(64, 64)).toImage();
  ASSERT_FALSE(picture.isNull());
  // The corner is see-through, the middle is drawn.
  EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(picture.pixel(32, 32)), 255);
}

TEST_F(MainWindowTest, QtsOwnTextsAndTheVersionPageFollowTheLanguageFile) {
  const auto cancelText = [] {
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Cancel | QMessageBox::Yes);
    return box.button(QMessageBox::Cancel)->text();
  };
  const auto versionPageTexts = [](const MainWindow& window) {
    QStringList texts;
    for (const QLabel* label : window.versionPage()->findChildren<QLabel*>()) {
      texts << label->text();
    }
    return texts.join(u'|');
  };
  UseLanguage("LANG_KOR.INI");
  {
    MainWindow window(*settings_, true);
    EXPECT_EQ(cancelText(), QString::fromUtf8("취소"));
    EXPECT_TRUE(versionPageTexts(window).contains(QString::fromUtf8("버전 0.")))
        << versionPageTexts(window).toStdString();

    ASSERT_TRUE(SetLanguage(*settings_, QStringLiteral("English")));
    window.ReloadLanguage();
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
    EXPECT_TRUE(versionPageTexts(window).contains(QStringLiteral("Version 0.")));
    EXPECT_FALSE(versionPageTexts(window).contains(QStringLiteral("LANGUAGE")));
  }
  // The window took its translations with it.
  UseLanguage("LANG_KOR.INI");
  { MainWindow window(*settings_, true); }
  EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
}

}  // namespace
}  // namespace trevalo
