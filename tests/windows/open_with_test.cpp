#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include "desktop/instance_channel.h"
#include "desktop/main_window.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_page.h"
#include "window_settings.h"

namespace trevalo {
namespace {

// Runs the event loop until `done` is ready (the later start waits for the running program's
// answer, which needs the loop) or ten seconds pass.
template <typename T>
T AwaitWithEvents(std::future<T>& done) {
  for (int i = 0;
       i < 1000 && done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  return done.get();
}

class OpenWithTest : public ::testing::Test {
 protected:
  OpenWithTest() { settings_ = test::WindowSettings(home_.path()); }

  QTemporaryDir home_;
  QTemporaryDir runtime_;
  std::unique_ptr<Settings> settings_;
};

TEST_F(OpenWithTest, ALaterStartHandsItsPhotosToTheRunningProgram) {
  const QString first = home_.filePath(QStringLiteral("first.jpg"));
  const QString second = home_.filePath(QStringLiteral("second photo.jpg"));
  if (!test::MakePhotoTakenAt(first, "2009:05:16 21:01:30") ||
      !test::MakePhotoTakenAt(second, "2009:05:16 21:05:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  window.SelectTab(MainWindow::kVersionTab);
  window.showMinimized();
  InstanceServer laterStarts(runtime_.path());
  ASSERT_TRUE(laterStarts.listening());
  QObject::connect(&laterStarts, &InstanceServer::filesReceived, &window, &MainWindow::OpenPhotos);

  // The later start runs on its own: it blocks until the running program answers.
  std::future<bool> handed = std::async(std::launch::async, [this, first, second] {
    return HandFilesToRunningInstance(runtime_.path(), {first, second});
  });
  ASSERT_TRUE(AwaitWithEvents(handed));
  for (int i = 0; i < 100 && window.photoPage()->photos().size() < 2; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  EXPECT_EQ(window.photoPage()->photos().size(), 2u);
  EXPECT_TRUE(window.photoPage()->photos().Find(second).has_value());
  EXPECT_EQ(window.tabs()->currentIndex(), MainWindow::kPhotoTab);
  EXPECT_FALSE(window.isMinimized());

  // A start without photos only brings the program forward; nothing is added twice.
  window.showMinimized();
  std::future<bool> shown = std::async(
      std::launch::async, [this] { return HandFilesToRunningInstance(runtime_.path(), {}); });
  ASSERT_TRUE(AwaitWithEvents(shown));
  QApplication::processEvents();
  EXPECT_FALSE(window.isMinimized());
  EXPECT_EQ(window.photoPage()->photos().size(), 2u);
}

TEST_F(OpenWithTest, AFloodOfLaterStartsJoinsOneMessageOfAScreenful) {
  settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  MainWindow window(*settings_, false);
  window.ShowAsStored();
  InstanceServer laterStarts(runtime_.path());
  ASSERT_TRUE(laterStarts.listening());
  QObject::connect(&laterStarts, &InstanceServer::filesReceived, &window, &MainWindow::OpenPhotos);

  // 300 starts of one missing photo each, then one of 1,000, while the first message is open.
  constexpr int kSingles = 300;
  constexpr int kInOne = 1000;
  const auto missing = [this](int n) {
    return home_.filePath(QStringLiteral("gone-%1.jpg").arg(n));
  };
  std::atomic<bool> allHanded{false};
  std::future<int> handed = std::async(std::launch::async, [&] {
    int taken = 0;
    for (int n = 0; n < kSingles; ++n) {
      taken += HandFilesToRunningInstance(runtime_.path(), {missing(n)}) ? 1 : 0;
    }
    QStringList many;
    for (int n = kSingles; n < kSingles + kInOne; ++n) {
      many << missing(n);
    }
    taken += HandFilesToRunningInstance(runtime_.path(), many) ? 1 : 0;
    allHanded = true;
    return taken;
  });

  // Watches the messages while they are open; closes the one left once every start is in.
  int mostOpen = 0;
  QString text;
  QString details;
  bool fitsTheScreen = false;
  QTimer watch;
  QElapsedTimer quiet;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QList<QMessageBox*> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box != nullptr && box->isVisible() &&
          box->objectName() == QLatin1String("notAddedMessage")) {
        open << box;
      }
    }
    mostOpen = std::max(mostOpen, static_cast<int>(open.size()));
    if (open.isEmpty()) {
      return;
    }
    if (open.front()->text() != text || !allHanded) {
      text = open.front()->text();
      quiet.start();
      return;
    }
    if (quiet.elapsed() > 500) {
      details = open.front()->detailedText();
      const QRect screen = open.front()->screen()->availableGeometry();
      fitsTheScreen = open.front()->sizeHint().height() <= screen.height();
      open.front()->button(QMessageBox::Ok)->click();
    }
  });
  watch.start(10);
  EXPECT_EQ(AwaitWithEvents(handed), kSingles + 1);
  for (int i = 0; i < 1000 && (details.isEmpty() || mostOpen == 0); ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  watch.stop();

  EXPECT_EQ(mostOpen, 1) << "every later start joins the message that is open";
  EXPECT_TRUE(fitsTheScreen);
  const QStringList lines = text.split(u'\n');
  EXPECT_LT(lines.size(), 60) << "a screenful";
  EXPECT_TRUE(lines.back().contains(QStringLiteral("more"))) << lines.back().toStdString();
  // Every file is named once in the details, in the order the starts came.
  const QStringList all = details.split(u'\n');
  ASSERT_EQ(all.size(), kSingles + kInOne);
  EXPECT_TRUE(all.front().startsWith(missing(0) + u':')) << all.front().toStdString();
  EXPECT_TRUE(all.back().startsWith(missing(kSingles + kInOne - 1) + u':'));
  EXPECT_TRUE(lines.back().contains(QString::number(kSingles + kInOne - (lines.size() - 2))))
      << lines.back().toStdString();
}

TEST_F(OpenWithTest, NoRunningProgramOrAStaleSocketIsNoAnswer) {
  EXPECT_FALSE(HandFilesToRunningInstance(runtime_.path(), {QStringLiteral("/x.jpg")}, 300));
  {
    // A program that was killed leaves its socket behind; the next one listens anyway.
    InstanceServer killed(runtime_.path());
    ASSERT_TRUE(killed.listening());
  }
  test::WriteFile(InstanceSocketPath(runtime_.path()), "left behind");
  InstanceServer next(runtime_.path());
  EXPECT_TRUE(next.listening());
}

}  // namespace
}  // namespace trevalo
