#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QMessageBox>
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
#include "tagging/correction_summary.h"
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

  // Sets a reference's pickers ("" the first, "2" the second).
  static void SetReference(CorrectionDialog& dialog, const char* suffix, TimeValue trueTime,
                           TimeValue camera) {
    const auto set = [&](const char* stem, TimeValue value) {
      const std::optional<CalendarFields> f = BreakDown(value);
      const QString stemText = QLatin1String(stem);
      const QString end = QLatin1String(suffix);
      dialog.findChild<QDateEdit*>(stemText + QStringLiteral("Date") + end)
          ->setDate(QDate(f->year, f->month, f->day));
      dialog.findChild<QTimeEdit*>(stemText + QStringLiteral("Time") + end)
          ->setTime(QTime(f->hour, f->minute, f->second));
    };
    set("current", trueTime);
    set("camera", camera);
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

TEST_F(CorrectionDialogTest, ASecondReferenceCorrectsADriftingClockAndIsShownAgain) {
  const TimeValue now = At(17, 18, 0, 0);
  MatchSettings drifted;
  {
    CorrectionDialog dialog(texts_, MatchSettings{}, now, At(17, 9, 58, 0));
    auto* drift = dialog.findChild<QCheckBox*>(QStringLiteral("driftCheck"));
    auto* fromPhoto = dialog.findChild<QPushButton*>(QStringLiteral("fromPhoto"));
    EXPECT_FALSE(drift->isEnabled());
    EXPECT_FALSE(fromPhoto->isEnabled());
    dialog.findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    EXPECT_TRUE(fromPhoto->isEnabled());
    EXPECT_FALSE(dialog.findChild<QTimeEdit*>(QStringLiteral("cameraTime2"))->isEnabled());
    // The photo of the logger's clock: the camera showed 09:58:00 when it read 10:00:00.
    fromPhoto->click();
    EXPECT_EQ(dialog.findChild<QTimeEdit*>(QStringLiteral("cameraTime"))->time(), QTime(9, 58));
    dialog.findChild<QTimeEdit*>(QStringLiteral("currentTime"))->setTime(QTime(10, 0));
    drift->setChecked(true);
    EXPECT_TRUE(dialog.findChild<QTimeEdit*>(QStringLiteral("cameraTime2"))->isEnabled());
    // Two hours of camera time later it is 60 seconds behind the true time, not 120.
    SetReference(dialog, "2", At(17, 12, 0, 0), At(17, 11, 59, 0));
    dialog.Apply();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    dialog.ApplyTo(drifted);
  }
  EXPECT_TRUE(drifted.cameraCorrection && drifted.cameraDrift);
  EXPECT_EQ(drifted.cameraSpan, 120);
  EXPECT_DOUBLE_EQ(drifted.CameraCorrectionAt(At(17, 11, 59, 0)), 60.0);
  EXPECT_NEAR(drifted.CameraCorrectionAt(At(17, 13, 59, 0)), 120 - 60 * 14460 / 7260.0, 1e-9);
  // The correction line says so, in seconds a day.
  EXPECT_EQ(CorrectionSummary(drifted, texts_),
            texts_.Text(QStringLiteral("MAIN_TEXT_CAMERADRIFT"))
                .arg(QStringLiteral("+00:02:00"), QStringLiteral("2009-05-17 09:58:00"),
                     QStringLiteral("-714.0")));
  // Opened again, the dialog shows the two references the drift was made of.
  CorrectionDialog again(texts_, drifted, now);
  EXPECT_TRUE(again.findChild<QCheckBox*>(QStringLiteral("driftCheck"))->isChecked());
  EXPECT_EQ(again.findChild<QTimeEdit*>(QStringLiteral("cameraTime"))->time(), QTime(9, 58));
  EXPECT_EQ(again.findChild<QTimeEdit*>(QStringLiteral("currentTime"))->time(), QTime(10, 0));
  EXPECT_EQ(again.findChild<QTimeEdit*>(QStringLiteral("cameraTime2"))->time(), QTime(11, 59));
  EXPECT_EQ(again.findChild<QTimeEdit*>(QStringLiteral("currentTime2"))->time(), QTime(12, 0));
  // Without a selected photo there is nothing to take a time from, and the button says so.
  auto* fromPhoto = again.findChild<QPushButton*>(QStringLiteral("fromPhoto2"));
  EXPECT_FALSE(fromPhoto->isEnabled());
  EXPECT_EQ(fromPhoto->toolTip(), texts_.Text(QStringLiteral("CORRECTION_TIP_NOPHOTO")));
}

TEST_F(CorrectionDialogTest, TwoReferencesAtOneCameraTimeAreRefusedAndTheDialogStaysOpen) {
  MatchSettings before;
  before.SetCameraSpan(true, 330);
  CorrectionDialog dialog(texts_, before, At(17, 10, 0, 0));
  dialog.findChild<QCheckBox*>(QStringLiteral("driftCheck"))->setChecked(true);
  SetReference(dialog, "", At(17, 10, 0, 0), At(17, 9, 0, 0));
  SetReference(dialog, "2", At(17, 10, 5, 0), At(17, 9, 0, 0));
  QString told;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->objectName(), QStringLiteral("sameCameraTime"));
    told = box->text();
    box->accept();
  });
  dialog.Apply();
  EXPECT_EQ(told, texts_.Text(QStringLiteral("CORRECTION_TEXT_SAMECAMERATIME")));
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  MatchSettings after = before;
  dialog.ApplyTo(after);
  EXPECT_FALSE(after.cameraDrift);
  EXPECT_EQ(after.cameraSpan, 330);
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

TEST_F(CorrectionDialogTest, FromAPhotoTakesTheTimeOfThePhotoSelectedInTheList) {
  QTemporaryDir work;
  const QString photo = work.filePath(QStringLiteral("clock.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 12:00:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr,
                 DeviceTree{work.filePath(QStringLiteral("no-mounts")), work.path()});
  page.AddPhotos({photo});
  page.findChild<QTableWidget*>(QStringLiteral("photoList"))->selectRow(0);
  QTime taken;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CorrectionDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QRadioButton*>(QStringLiteral("correctionOn"))->setChecked(true);
    dialog->findChild<QPushButton*>(QStringLiteral("fromPhoto"))->click();
    taken = dialog->findChild<QTimeEdit*>(QStringLiteral("cameraTime"))->time();
    dialog->reject();
  });
  page.CorrectCameraTime();
  EXPECT_EQ(taken, QTime(12, 0));
  EXPECT_FALSE(page.matchSettings().cameraCorrection);
}

}  // namespace
}  // namespace trevalo
