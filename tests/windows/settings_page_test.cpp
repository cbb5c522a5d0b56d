#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include "desktop/settings_page.h"
#include "shell/language.h"
#include "support/event_wait.h"
#include "support/fake_device_tree.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_page.h"
#include "track/geodesy.h"
#include "window_settings.h"

namespace trevalo {
namespace {

class SettingsPageTest : public ::testing::Test {
 protected:
  SettingsPageTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
  }
  // A logger of the model on the fake tree; its mount point.
  QString MountLogger(const char* vendor, const char* product) {
    fake_.AddUsbDisk(QStringLiteral("1-2"), QLatin1String(vendor), QLatin1String(product),
                     QStringLiteral("S"), 8, 16);
    return fake_.Mount(QStringLiteral("LOGGER"), 8, 16);
  }
  std::unique_ptr<PhotoPage> NewPhotoPage() {
    return std::make_unique<PhotoPage>(*settings_, texts_, nullptr,
                                       DeviceTree{fake_.mountInfoPath(), fake_.sysfsRoot()});
  }
  template <typename T>
  static T* Find(const QWidget& page, const char* name) {
    T* widget = page.findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QTemporaryDir home_;
  test::FakeDeviceTree fake_{home_.filePath(QStringLiteral("tree"))};
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(SettingsPageTest, ToleranceIsReadWrittenAndGivenToThePhotoPage) {
  settings_->WriteSettingInt(setting::kTimeTolerance, 99);
  auto photos = NewPhotoPage();
  EXPECT_EQ(photos->matchSettings().tolerance, 99);
  SettingsPage page(*settings_, texts_, photos.get());
  auto* tolerance = Find<QComboBox>(page, "tolerance");
  QStringList entries;
  for (int i = 0; i < tolerance->count(); ++i) {
    entries << tolerance->itemText(i);
  }
  EXPECT_EQ(entries.join(u'|').toStdString(), "± 10 min|± 1h|± 2h|± 3h|No limit (nearest log)");
  EXPECT_EQ(tolerance->currentIndex(), 4);
  tolerance->setCurrentIndex(2);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kTimeTolerance), 2);
  EXPECT_EQ(photos->matchSettings().tolerance, 2);
}

TEST_F(SettingsPageTest, PositionCorrectionFollowsTheSlidersOnlyWhileOn) {
  const QString south = QStringLiteral("South"), north = QStringLiteral("North"),
                sec = QStringLiteral("sec");
  EXPECT_EQ(SettingsPage::CorrectionText(-125, south, north, sec),
            QStringLiteral("South 1.25 sec"));
  EXPECT_EQ(SettingsPage::CorrectionText(0, south, north, sec), QStringLiteral("North 0.00 sec"));
  auto photos = NewPhotoPage();
  SettingsPage page(*settings_, texts_, photos.get());
  auto* latitude = Find<QSlider>(page, "latitudeCorrection");
  auto* longitude = Find<QSlider>(page, "longitudeCorrection");
  EXPECT_TRUE(Find<QRadioButton>(page, "correctionOff")->isChecked());
  EXPECT_FALSE(latitude->isEnabled());

  Find<QRadioButton>(page, "correctionOn")->click();
  EXPECT_TRUE(latitude->isEnabled());
  latitude->setValue(-125);
  longitude->setValue(300);
  EXPECT_TRUE(photos->matchSettings().positionCorrection);
  EXPECT_EQ(photos->matchSettings().latitudeOffset, -125);
  EXPECT_EQ(photos->matchSettings().longitudeOffset, 300);
  EXPECT_EQ(Find<QLabel>(page, "latitudeCorrectionText")->text(), QStringLiteral("South 1.25 sec"));
  EXPECT_EQ(Find<QLabel>(page, "longitudeCorrectionText")->text(), QStringLiteral("East 3.00 sec"));

  Find<QRadioButton>(page, "correctionOff")->click();
  EXPECT_EQ(latitude->value(), 0);
  EXPECT_FALSE(photos->matchSettings().positionCorrection);
  EXPECT_EQ(photos->matchSettings().latitudeCorrection(), 0);
}

TEST_F(SettingsPageTest, SummerTimeReloadsTheLibraryWithTheOffset) {
  auto photos = NewPhotoPage();
  SettingsPage page(*settings_, texts_, photos.get());
  Find<QCheckBox>(page, "summerTime")->click();
  EXPECT_TRUE(settings_->ReadFlag(setting::kSummerTime));
  EXPECT_EQ(photos->library().summerTimeOffset(), 100);
  Find<QCheckBox>(page, "summerTime")->click();
  EXPECT_EQ(photos->library().summerTimeOffset(), 0);
}

// A photo taken 13 s into a walk logged every 10 s: 3/10 of the way from fix 1 to fix 2.
TEST_F(SettingsPageTest, PositionsBetweenFixesAreStoredAndMatchThePhotosAgain) {
  const QString photo = home_.filePath(QStringLiteral("a.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 21:00:13")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = home_.filePath(QStringLiteral("walk.log"));
  std::vector<test::GeneratedFix> fixes;
  test::WriteFile(log,
                  test::GenerateLog({.hour = 12, .epochs = 30, .intervalSeconds = 10}, &fixes));
  auto photos = NewPhotoPage();
  EXPECT_FALSE(photos->matchSettings().interpolate);
  ASSERT_TRUE(photos->library().AddLog(log, 0, 0, 900).done());
  photos->AddPhotos({photo});
  ASSERT_EQ(photos->photos().size(), 1u);
  const PhotoRow& row = photos->photos().rows()[0];
  ASSERT_TRUE(row.matched);
  const QString nearestText = row.latitudeText;
  auto* cell =
      photos->findChild<QTableWidget*>(QStringLiteral("photoList"))->item(0, PhotoPage::kLatitude);

  SettingsPage page(*settings_, texts_, photos.get());
  auto* interpolate = Find<QCheckBox>(page, "interpolate");
  auto* maxGap = Find<QSpinBox>(page, "interpolateMaxGap");
  EXPECT_FALSE(interpolate->isChecked());
  EXPECT_FALSE(maxGap->isEnabled());
  EXPECT_EQ(maxGap->value(), 60);

  interpolate->click();
  EXPECT_TRUE(settings_->ReadFlag(setting::kInterpolate));
  EXPECT_TRUE(maxGap->isEnabled());
  ASSERT_TRUE(row.between);
  EXPECT_NEAR(PackedToDegrees(row.point.latitude),
              fixes[1].latitude + 0.3 * (fixes[2].latitude - fixes[1].latitude), 1e-9);
  EXPECT_NE(row.latitudeText, nearestText);
  cell =
      photos->findChild<QTableWidget*>(QStringLiteral("photoList"))->item(0, PhotoPage::kLatitude);
  EXPECT_EQ(cell->text(), row.latitudeText);

  // Fixes 10 s apart are further apart than 9 s: the nearest fix again.
  maxGap->setValue(9);
  EXPECT_EQ(settings_->ReadSettingInt(setting::kInterpolateMaxGap), 9);
  EXPECT_FALSE(row.between);
  EXPECT_EQ(row.latitudeText, nearestText);

  // A page made afresh starts with what was stored.
  auto next = NewPhotoPage();
  EXPECT_TRUE(next->matchSettings().interpolate);
  EXPECT_EQ(next->matchSettings().maxGapSeconds, 9);
  SettingsPage nextPage(*settings_, texts_, next.get());
  EXPECT_TRUE(Find<QCheckBox>(nextPage, "interpolate")->isChecked());
  EXPECT_EQ(Find<QSpinBox>(nextPage, "interpolateMaxGap")->value(), 9);

  interpolate->click();
  EXPECT_FALSE(settings_->ReadFlag(setting::kInterpolate));
  EXPECT_FALSE(photos->matchSettings().interpolate);
}

TEST_F(SettingsPageTest, ThePhotoOptionsAreStoredAndTheListMarksWhatEachDid) {
  // A walk from 12:00:00 UTC read at +09:00; a camera set to -05:00 that records its zone, and
  // a phone's photo that carries a position of its own.
  const QString zoned = home_.filePath(QStringLiteral("zoned.jpg"));
  const QString phone = home_.filePath(QStringLiteral("phone.jpg"));
  if (!test::MakePhotoTakenAt(zoned, "2009:05:17 07:00:30",
                              {QStringLiteral("-OffsetTimeOriginal=-05:00")}) ||
      !test::MakePhotoTakenAt(
          phone, "2009:05:17 21:00:10",
          {QStringLiteral("-GPSLatitude=10.5"), QStringLiteral("-GPSLatitudeRef=N"),
           QStringLiteral("-GPSLongitude=20.25"), QStringLiteral("-GPSLongitudeRef=E")})) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = home_.filePath(QStringLiteral("walk.log"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 60}));
  auto photos = NewPhotoPage();
  ASSERT_TRUE(photos->library().AddLog(log, 0, 0, 900).done());
  photos->AddPhotos({zoned, phone});
  ASSERT_EQ(photos->photos().size(), 2u);
  const auto rowOf = [&](const QString& path) -> const PhotoRow& {
    const auto& rows = photos->photos().rows();
    return *std::ranges::find_if(rows, [&](const PhotoRow& row) { return row.path == path; });
  };
  const auto cell = [&](const QString& path, int column) {
    const auto& rows = photos->photos().rows();
    const int r = static_cast<int>(&rowOf(path) - rows.data());
    return photos->findChild<QTableWidget*>(QStringLiteral("photoList"))->item(r, column);
  };
  // By default: matched at its UTC instant, which the date column and the mark tell; the
  // phone's photo is matched too, its own position marked.
  EXPECT_TRUE(rowOf(zoned).matched && rowOf(zoned).byPhotoZone);
  EXPECT_EQ(rowOf(zoned).pointIndex, 30u);
  EXPECT_EQ(cell(zoned, PhotoPage::kDateTime)->text(),
            rowOf(zoned).dateText + QStringLiteral(" -05:00"));
  EXPECT_TRUE(cell(zoned, PhotoPage::kStatus)
                  ->toolTip()
                  .contains(texts_.Text(QStringLiteral("MAIN_TIP_PHOTOZONE"))
                                .arg(QStringLiteral("-05:00"))
                                .toHtmlEscaped()));
  EXPECT_TRUE(rowOf(phone).matched && !rowOf(phone).kept);
  EXPECT_TRUE(cell(phone, PhotoPage::kStatus)
                  ->toolTip()
                  .contains(texts_.Text(QStringLiteral("MAIN_TIP_OWNPOSITION")).toHtmlEscaped()));

  SettingsPage page(*settings_, texts_, photos.get());
  // The camera's zone known wrong: its clock is read in the log's zone, nowhere near the walk.
  Find<QCheckBox>(page, "ignorePhotoZone")->click();
  EXPECT_TRUE(settings_->ReadFlag(setting::kIgnorePhotoZone));
  EXPECT_FALSE(rowOf(zoned).matched || rowOf(zoned).byPhotoZone);
  EXPECT_EQ(cell(zoned, PhotoPage::kDateTime)->text(), rowOf(zoned).dateText);
  // Positions photos already have are kept: not matched, shown at their own position.
  Find<QCheckBox>(page, "keepPositions")->click();
  EXPECT_TRUE(settings_->ReadFlag(setting::kKeepPositions));
  EXPECT_TRUE(rowOf(phone).kept && !rowOf(phone).matched);
  EXPECT_TRUE(cell(phone, PhotoPage::kLatitude)->text().contains(QStringLiteral("10")));
  EXPECT_TRUE(cell(phone, PhotoPage::kStatus)
                  ->toolTip()
                  .contains(texts_.Text(QStringLiteral("MAIN_TIP_KEPT")).toHtmlEscaped()));
  // A page made afresh starts with what was stored.
  auto next = NewPhotoPage();
  EXPECT_FALSE(next->matchSettings().usePhotoZone);
  EXPECT_TRUE(next->matchSettings().keepExistingPositions);
  SettingsPage nextPage(*settings_, texts_, next.get());
  EXPECT_TRUE(Find<QCheckBox>(nextPage, "ignorePhotoZone")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(nextPage, "keepPositions")->isChecked());
}

TEST_F(SettingsPageTest, TheSidecarNamingIsStoredAsAFlag) {
  SettingsPage page(*settings_, texts_, nullptr);
  auto* baseName = Find<QCheckBox>(page, "sidecarBaseName");
  ASSERT_NE(baseName, nullptr);
  EXPECT_FALSE(baseName->isChecked());
  baseName->click();
  EXPECT_EQ(settings_->ReadSetting(setting::kSidecarBaseName, 8), QStringLiteral("1"));
  baseName->click();
  EXPECT_EQ(settings_->ReadSetting(setting::kSidecarBaseName, 8), QStringLiteral("0"));
  settings_->WriteSetting(setting::kSidecarBaseName, QStringLiteral("1"));
  SettingsPage again(*settings_, texts_, nullptr);
  EXPECT_TRUE(Find<QCheckBox>(again, "sidecarBaseName")->isChecked());
}

TEST_F(SettingsPageTest, TheTileServerIsStoredOnlyWhenItIsOne) {
  SettingsPage page(*settings_, texts_, nullptr);
  auto* field = Find<QLineEdit>(page, "tileServer");
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->text().isEmpty());
  EXPECT_TRUE(field->placeholderText().contains(QStringLiteral("openstreetmap")));
  const auto type = [&](const QString& text) {
    field->setText(text);
    Q_EMIT field->editingFinished();
  };
  const QString own = QStringLiteral("http://localhost:8080/tiles/{z}/{x}/{y}.png");
  type(own);
  EXPECT_EQ(settings_->ReadSetting(setting::kMapTileServer), own);

  // Not an address: said, and the stored one stays and is shown again.
  test::MessageBoxes boxes;
  type(QStringLiteral("localhost:8080/tiles"));
  ASSERT_EQ(boxes.texts().size(), 1);
  EXPECT_TRUE(boxes.texts()[0].endsWith(QStringLiteral("localhost:8080/tiles")));
  EXPECT_EQ(settings_->ReadSetting(setting::kMapTileServer), own);
  EXPECT_EQ(field->text(), own);

  type(QString());  // back to OpenStreetMap
  EXPECT_TRUE(settings_->ReadSetting(setting::kMapTileServer).isEmpty());
  EXPECT_EQ(boxes.texts().size(), 1);
  SettingsPage again(*settings_, texts_, nullptr);
  EXPECT_TRUE(Find<QLineEdit>(again, "tileServer")->text().isEmpty());
}

TEST_F(SettingsPageTest, AModelALoggersSettingsAreShownAndAppliedToItsFile) {
  const QString drive = MountLogger("0c76", "7e00");
  ModelASettings stored;
  stored.samplingSeconds = 10;
  stored.ledMode = 1;
  stored.firmwareNumber = 12;
  ASSERT_EQ(WriteModelAFile(drive + QStringLiteral("/QARN_TR.CFG"), stored), QString());
  auto photos = NewPhotoPage();
  SettingsPage page(*settings_, texts_, photos.get());
  QSignalSpy firmware(&page, &SettingsPage::firmwareNumberChanged);
  page.OnDeviceChange();
  ASSERT_EQ(firmware.count(), 1);
  EXPECT_EQ(firmware.front().front().toInt(), 12);
  EXPECT_EQ(Find<QGroupBox>(page, "modelAGroup")->title(),
            texts_.Text(QStringLiteral("SETTING_TEXT_CONNECTED")));
  auto* interval = Find<QComboBox>(page, "samplingInterval");
  EXPECT_EQ(interval->count(), 7);
  EXPECT_EQ(interval->currentText(), QStringLiteral("10s"));
  EXPECT_FALSE(Find<QComboBox>(page, "modelB100")->isEnabled());

  Find<QComboBox>(page, "ledMode")->setCurrentIndex(2);
  interval->setCurrentIndex(interval->findData(30));
  auto* apply = Find<QPushButton>(page, "applyModelA");
  apply->click();
  EXPECT_FALSE(apply->isEnabled());
  ModelASettings written;
  ParseModelAFile(test::ReadFile(drive + QStringLiteral("/QARN_TR.CFG")), written);
  EXPECT_EQ(written.ledMode, 2);
  EXPECT_EQ(written.samplingSeconds, 30);
  EXPECT_EQ(written.firmwareNumber, 12) << "the logger's firmware number is written back";
}

TEST_F(SettingsPageTest, WithoutALoggerTheLoggerGroupsShowNoValues) {
  auto photos = NewPhotoPage();
  SettingsPage page(*settings_, texts_, photos.get());
  page.OnDeviceChange();
  // The logger lists that show a value, as "name=value".
  const auto shown = [&page] {
    QStringList values;
    for (const QComboBox* list : page.findChildren<QComboBox*>()) {
      const QString name = list->objectName();
      if ((name == u"samplingInterval" || name == u"ledMode" || name.startsWith(u"modelB")) &&
          list->currentIndex() >= 0) {
        values << name + u'=' + list->currentText();
      }
    }
    values.sort();
    return values.join(u'|').toStdString();
  };
  EXPECT_EQ(shown(), "");
  // The page as the user sees it, for a look by eye.
  page.resize(1000, 900);
  page.show();
  QDir().mkpath(test::BinaryFolder() + QStringLiteral("/../test-output"));
  page.grab().save(test::BinaryFolder() +
                   QStringLiteral("/../test-output/settings-page-no-logger.png"));

  // A model A logger shows its own values, and only in its group; they go with it.
  const QString drive = MountLogger("0c76", "7e00");
  ModelASettings stored;
  stored.samplingSeconds = 10;
  stored.ledMode = 1;
  ASSERT_EQ(WriteModelAFile(drive + QStringLiteral("/QARN_TR.CFG"), stored), QString());
  photos->OnDeviceChange();
  EXPECT_EQ(shown(),
            "ledMode=" + texts_.Text(QStringLiteral("SETTING_OPTION_LEDMODE1")).toStdString() +
                "|samplingInterval=10s");
  test::WriteFile(fake_.mountInfoPath(), "");
  photos->OnDeviceChange();
  EXPECT_EQ(shown(), "");
}

TEST_F(SettingsPageTest, AModelASettingsFileThatCannotBeCreatedOrReadIsTold) {
  const QString drive = MountLogger("0c76", "7e00");
  QDir(drive).removeRecursively();  // nothing can be created on the volume now
  auto photos = NewPhotoPage();
  SettingsPage page(*settings_, texts_, photos.get());
  page.OnDeviceChange();
  QMessageBox* alert = page.findChild<QMessageBox*>(QStringLiteral("loggerFileProblem"));
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->textFormat(), Qt::PlainText);
  EXPECT_TRUE(alert->text().startsWith(
      texts_.MultiLineText(QStringLiteral("SETTING_TEXT_ERRORSAVE")) + QStringLiteral("\n\n")))
      << alert->text().toStdString();
  EXPECT_TRUE(alert->text().contains(drive)) << alert->text().toStdString();
  delete alert;

  // A file that is there but cannot be read: the values shown are not the logger's.
  QDir().mkpath(drive + QStringLiteral("/QARN_TR.CFG"));
  photos->OnDeviceChange();
  alert = page.findChild<QMessageBox*>(QStringLiteral("loggerFileProblem"));
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->text().startsWith(
      texts_.MultiLineText(QStringLiteral("SETTING_TEXT_ERRORREAD")) + QStringLiteral("\n\n")))
      << alert->text().toStdString();
  EXPECT_TRUE(alert->text().contains(QStringLiteral("QARN_TR.CFG")));
  delete alert;

  // A sound file says nothing.
  QDir(drive + QStringLiteral("/QARN_TR.CFG")).removeRecursively();
  photos->OnDeviceChange();
  EXPECT_EQ(page.findChild<QMessageBox*>(QStringLiteral("loggerFileProblem")), nullptr);
}

TEST_F(SettingsPageTest, AModelBLoggerIsEditedByteByByteAndAnotherFormatIsRefused) {
  const QString drive = MountLogger("090c", "7e10");
  QByteArray file(300, '\x5a');
  file.replace(10, 2, "B7");
  file.replace(12, 8, "FW 1.2.3");
  file.replace(20, 3, "002");
  file[107] = 3;
  test::WriteFile(drive + QStringLiteral("/SYSREG.SMI"), file.toStdString());
  file[107] = 3;
  auto photos = NewPhotoPage();
  SettingsPage page(*settings_, texts_, photos.get());
  QSignalSpy firmware(&page, &SettingsPage::firmwareTextChanged);
  page.OnDeviceChange();
  ASSERT_EQ(firmware.count(), 1);
  EXPECT_EQ(firmware.front().at(0).toString(), QStringLiteral("B7"));
  EXPECT_EQ(firmware.front().at(1).toString(), QStringLiteral("FW 1.2.3"));
  auto* interval = Find<QComboBox>(page, "modelB107");
  EXPECT_TRUE(interval->isEnabled());
  EXPECT_EQ(interval->currentText(), QStringLiteral("20 sec"));
  EXPECT_FALSE(Find<QComboBox>(page, "samplingInterval")->isEnabled());

  Find<QComboBox>(page, "modelB101")->setCurrentIndex(26);  // GMT +9:00
  Find<QPushButton>(page, "applyModelB")->click();
  QByteArray expected = file;
  expected[101] = 26;
  for (int i = 100; i < 118; ++i) {
    if (i != 101 && i != 107) {
      expected[i] = 0x5a;  // bytes no list changed are written as they were read
    }
  }
  EXPECT_EQ(test::ReadFile(drive + QStringLiteral("/SYSREG.SMI")), expected);

  // A file of a newer format: the lists are disabled and the user is told.
  file.replace(20, 3, "003");
  test::WriteFile(drive + QStringLiteral("/SYSREG.SMI"), file.toStdString());
  photos->OnDeviceChange();  // the page follows the photo page's detection
  EXPECT_FALSE(interval->isEnabled());
  auto* alert = page.findChild<QMessageBox*>(QStringLiteral("formatAlert"));
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->text(), texts_.MultiLineText(QStringLiteral("SETTING_R6_ALERT_MIS_VERSION")));
  alert->close();
}

TEST_F(SettingsPageTest, ChoosingALanguageStoresItAndAsksForNewPages) {
  SettingsPage page(*settings_, texts_, nullptr);
  auto* languages = Find<QComboBox>(page, "languages");
  ASSERT_GE(languages->count(), 2);
  EXPECT_EQ(languages->currentData().toString(), QStringLiteral("LANG_ENG.INI"));
  QSignalSpy changed(&page, &SettingsPage::languageChanged);
  languages->setCurrentIndex(languages->findData(QStringLiteral("LANG_KOR.INI")));
  Find<QPushButton>(page, "setLanguage")->click();
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(settings_->ReadSetting(setting::kLangFile), QStringLiteral("LANG_KOR.INI"));
}

}  // namespace
}  // namespace trevalo
