#include <gtest/gtest.h>

#include <QApplication>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>

#include "shell/language.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/correction_dialog.h"
#include "tagging/photo_page.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class CorrectionDialogTest : public ::testing::Test {
 protected:
  CorrectionDialogTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  static TimeValue At(int day, int hour, int minute, int second) {
    return *MakeTime(2009, 5, day, hour, minute, second);
  }
  // Sets the camera pickers and applies.
  static void ApplyCamera(CorrectionDialog& dialog, TimeValue camera) {
    const std::optional<CalendarFields> f = BreakDown(camera);
    dialog.findChild<QDateEdit*>(QStringLiteral("cameraDate"))
        ->setDate(QDate(f->year, f->month, f->day));
    dialog.findChild<QTimeEdit*>(QStringLiteral("cameraTime"))
        ->setTime(QTime(f->hour, f->minute, f->second));
    dialog.Apply();
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(CorrectionDialogTest, TheSpanIsTrueTimeMinusCameraTime) {
  const TimeValue now = At(17, 10, 5, 30);
  {
    CorrectionDialog dialog(texts_, false, 0, now);
    dialog.findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    ApplyCamera(dialog, At(17, 10, 0, 0));
    EXPECT_TRUE(dialog.enabled());
    EXPECT_EQ(dialog.span(), 330);
  }
  {
    CorrectionDialog dialog(texts_, false, 0, now);
    dialog.findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    ApplyCamera(dialog, At(17, 10, 7, 0));  // the camera runs ahead
    EXPECT_EQ(dialog.span(), -90);
  }
  {
    CorrectionDialog dialog(texts_, false, 0, now);
    dialog.findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    ApplyCamera(dialog, At(16, 10, 0, 0));  // still on the day before
    EXPECT_EQ(dialog.span(), 86400 + 330);
  }
}

TEST_F(CorrectionDialogTest, ReopenedItShowsTheCameraTimeOfNowAndOffClearsTheSpan) {
  CorrectionDialog dialog(texts_, true, 330, At(17, 10, 5, 30));
  EXPECT_EQ(dialog.findChild<QTimeEdit*>(QStringLiteral("cameraTime"))->time(), QTime(10, 0, 0));
  EXPECT_TRUE(dialog.findChild<QDateEdit*>(QStringLiteral("cameraDate"))->isEnabled());
  dialog.findChild<QRadioButton*>(QStringLiteral("correctionOff"))->setChecked(true);
  EXPECT_FALSE(dialog.findChild<QDateEdit*>(QStringLiteral("cameraDate"))->isEnabled());
  dialog.Apply();
  EXPECT_FALSE(dialog.enabled());
  EXPECT_EQ(dialog.span(), 0);
}

TEST_F(CorrectionDialogTest, ThePhotoPageShowsAndMatchesCorrectedTimes) {
  QTemporaryDir work;
  const QString photo = work.filePath(QStringLiteral("p.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 12:00:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr,
                 DeviceTree{work.filePath(QStringLiteral("no-mounts")), work.path()});
  page.AddPhotos({photo});
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<CorrectionDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    const QDateTime current(dialog->findChild<QDateEdit*>(QStringLiteral("currentDate"))->date(),
                            dialog->findChild<QTimeEdit*>(QStringLiteral("currentTime"))->time());
    const QDateTime camera = current.addSecs(-330);
    dialog->findChild<QDateEdit*>(QStringLiteral("cameraDate"))->setDate(camera.date());
    dialog->findChild<QTimeEdit*>(QStringLiteral("cameraTime"))->setTime(camera.time());
    dialog->findChild<QPushButton*>(QStringLiteral("applyButton"))->click();
  });
  page.CorrectCameraTime();
  EXPECT_TRUE(page.matchSettings().cameraCorrection);
  EXPECT_EQ(page.matchSettings().cameraSpan, 330);
  EXPECT_EQ(page.photos().rows()[0].dateText, QStringLiteral("2009-05-17 12:05:30"));
}

}  // namespace
}  // namespace trevalo
