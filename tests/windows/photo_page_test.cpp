#include <gtest/gtest.h>

#include <numeric>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "device/log_import_dialog.h"
#include "files/native_files.h"
#include "library/log_library.h"
#include "log_manager/log_manager_dialog.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/fake_device_tree.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/correction_summary.h"
#include "tagging/photo_detail_dialog.h"
#include "tagging/photo_page.h"
#include "tagging/save_dialog.h"
#include "widgets/written_summary.h"
#include "window_settings.h"

namespace trevalo {
namespace {

using test::OnNextModal;

class PhotoPageTest : public ::testing::Test {
 protected:
  PhotoPageTest() {
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::Load(*settings_);
    QDir().mkpath(test::BinaryFolder() + QStringLiteral("/../test-output"));
  }
  DeviceTree Tree() const { return {fake_.mountInfoPath(), fake_.sysfsRoot()}; }
  // A model A logger plugged in and mounted; its drive.
  QString PlugInLogger() {
    fake_.AddUsbDisk(QStringLiteral("1-2"), QStringLiteral("0c76"), QStringLiteral("7e00"),
                     QStringLiteral("S"), 8, 16);
    return fake_.Mount(QStringLiteral("LOGGER"), 8, 16);
  }
  QTableWidget* List(const PhotoPage& page) const {
    return page.findChild<QTableWidget*>(QStringLiteral("photoList"));
  }
  QString Text(const PhotoPage& page, const char* label) const {
    return page.findChild<QLabel*>(QLatin1String(label))->text();
  }
  // The file names of the rows, top to bottom.
  std::string ShownNames(const PhotoPage& page) const {
    QTableWidget* list = List(page);
    QStringList shown;
    for (int r = 0; r < list->rowCount(); ++r) {
      shown << list->item(r, PhotoPage::kFileName)->text();
    }
    return shown.join(u' ').toStdString();
  }
  // Clicks a column's header, as the user orders the rows.
  void ClickHeader(const PhotoPage& page, int column) const {
    QHeaderView* header = List(page)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
  }
  // Photos at `names` in the work folder (folders made as needed), each taken at its
  // `times` text; empty when they cannot be made (exiftool is missing).
  QStringList DatedPhotos(const QStringList& names, const std::vector<const char*>& times) {
    QStringList photos;
    for (qsizetype i = 0; i < names.size(); ++i) {
      photos << work_.filePath(names[i]);
      QDir().mkpath(QFileInfo(photos.back()).absolutePath());
      if (!test::MakePhotoTakenAt(photos.back(), times[static_cast<std::size_t>(i)])) {
        return {};
      }
    }
    return photos;
  }

  QTemporaryDir home_;
  QTemporaryDir work_;
  test::FakeDeviceTree fake_{work_.filePath(QStringLiteral("tree"))};
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(PhotoPageTest, ColumnsTakeStoredWidthsOrSharesOfTheList) {
  // Every column in view at once: 1000 pixels beside the mark are 13 parts of 76.
  const std::vector<int> shares = PhotoPage::ColumnWidths(*settings_, 1048);
  EXPECT_EQ(shares, (std::vector<int>{48, 152, 152, 114, 114, 76, 228, 152}));
  EXPECT_LE(std::accumulate(shares.begin(), shares.end(), 0), 1048);
  settings_->WriteSettingInt(QStringLiteral("LC_MAIN_W_1"), 123);
  settings_->WriteSettingInt(QStringLiteral("LC_MAIN_W_3"), 0);
  const auto widths = PhotoPage::ColumnWidths(*settings_, 1048);
  EXPECT_EQ(widths[1], 123);
  EXPECT_EQ(widths[3], 114);

  // Without widths of the user's, the columns keep in view as the window grows.
  settings_->WriteSettingInt(QStringLiteral("LC_MAIN_W_1"), 0);
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.resize(700, 500);
  page.show();
  page.resize(1280, 700);
  QApplication::processEvents();
  const QTableWidget* list = List(page);
  const int last = PhotoPage::kColumnCount - 1;
  EXPECT_LE(list->columnViewportPosition(last) + list->columnWidth(last),
            list->viewport()->width());
  EXPECT_GT(list->columnWidth(PhotoPage::kPath), 250);
  QStringList headers;
  for (int c = 0; c < PhotoPage::kColumnCount; ++c) {
    headers << List(page)->horizontalHeaderItem(c)->text();
  }
  EXPECT_EQ(headers.join(u'|'),
            QStringLiteral("Match|File Name|Date Taken|Latitude|Longitude|Altitude|Path|Log File"));
}

TEST_F(PhotoPageTest, AddsReadablePhotosOnceSortedByDateAndRemovesTheSelected) {
  const QStringList photos = test::RealPhotos();
  if (photos.size() < 3) {
    GTEST_SKIP() << "the shared test photos are not there";
  }
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.resize(1000, 600);
  page.show();
  const QString notAPhoto = work_.filePath(QStringLiteral("notes.jpg"));
  test::WriteFile(notAPhoto, "not a JPEG");
  {
    const test::MessageBoxes told;
    page.AddPhotos(photos + QStringList{notAPhoto, photos.front()});
    ASSERT_EQ(told.texts().size(), 1);
    EXPECT_TRUE(told.texts()[0].contains(notAPhoto + QStringLiteral(": ") +
                                         texts_.Text(QStringLiteral("MAIN_REASON_NOTAPHOTO"))));
  }

  QTableWidget* list = List(page);
  const int readable = static_cast<int>(page.photos().size());
  EXPECT_GE(readable, 3);
  EXPECT_LE(readable, photos.size());
  ASSERT_EQ(list->rowCount(), readable);
  for (int r = 1; r < list->rowCount(); ++r) {
    EXPECT_LE(list->item(r - 1, PhotoPage::kDateTime)->text(),
              list->item(r, PhotoPage::kDateTime)->text());
  }
  for (int r = 0; r < list->rowCount(); ++r) {
    EXPECT_FALSE(list->item(r, PhotoPage::kStatus)->data(Qt::UserRole).toBool());
    EXPECT_EQ(list->item(r, PhotoPage::kLatitude)->text(), QString());
  }
  EXPECT_EQ(settings_->ReadSetting(setting::kPathOpen),
            QFileInfo(photos.front()).absolutePath() + u'/');
  EXPECT_EQ(Text(page, "step3Text"), texts_.MultiLineText(QStringLiteral("MAIN_TEXT_STEP3_NOLOG")));

  auto* remove = page.findChild<QPushButton*>(QStringLiteral("removeButton"));
  EXPECT_FALSE(remove->isEnabled());
  const QString kept0 = list->item(0, PhotoPage::kPath)->text();
  const QString kept2 = list->item(2, PhotoPage::kPath)->text();
  list->selectRow(1);
  EXPECT_TRUE(remove->isEnabled());
  remove->click();
  ASSERT_EQ(list->rowCount(), readable - 1);
  EXPECT_EQ(list->item(0, PhotoPage::kPath)->text(), kept0);
  EXPECT_EQ(list->item(1, PhotoPage::kPath)->text(), kept2);
  // The row that took the removed one's place is selected, so a second Delete removes it.
  EXPECT_TRUE(list->selectionModel()->isRowSelected(1, QModelIndex()));
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_TRUE(remove->isEnabled());
  QTest::keyClick(list, Qt::Key_Delete);
  ASSERT_EQ(list->rowCount(), readable - 2);
  EXPECT_EQ(list->item(0, PhotoPage::kPath)->text(), kept0);
}

TEST_F(PhotoPageTest, TheListsSelectionFollowsThePhotoTheDetailsSteppedTo) {
  const QStringList photos =
      DatedPhotos({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg")},
                  {"2009:05:17 21:01:00", "2009:05:17 21:02:00", "2009:05:17 21:03:00"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  page.AddPhotos(photos);
  QTableWidget* list = List(page);
  list->selectRow(0);
  OnNextModal([](QWidget* window) {
    auto* dialog = qobject_cast<PhotoDetailDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    dialog->ShowNext();
    dialog->ShowNext();
    dialog->accept();
  });
  page.ShowDetails();
  EXPECT_EQ(list->selectionModel()->selectedRows().size(), 1);
  EXPECT_TRUE(list->selectionModel()->isRowSelected(2, QModelIndex()));
  EXPECT_EQ(list->currentRow(), 2);
}

TEST_F(PhotoPageTest, WhatIsNotAddedIsToldInOneMessageWithItsReason) {
  const QString good = work_.filePath(QStringLiteral("good.jpg"));
  const QString zeros = work_.filePath(QStringLiteral("zeros.jpg"));
  const QString impossible = work_.filePath(QStringLiteral("month13.jpg"));
  const QString undated = work_.filePath(QStringLiteral("undated.jpg"));
  if (!test::MakePhotoTakenAt(good, "2009:05:17 21:01:30") ||
      !test::MakePhotoTakenAt(zeros, "0000:00:00 00:00:00") ||
      !test::MakePhotoTakenAt(impossible, "2009:13:45 10:00:00") ||
      !test::MakePhotoTakenAt(undated, "")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString text = work_.filePath(QStringLiteral("notes.jpg"));
  test::WriteFile(text, "not a JPEG");
  const QString broken = work_.filePath(QStringLiteral("broken.jpg"));
  const QByteArray whole = test::ReadFile(good);
  test::WriteFile(broken, std::string_view(whole.constData(), 40));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  const test::MessageBoxes told;
  page.AddPhotos({text, good, zeros, broken, impossible, undated});

  ASSERT_EQ(told.texts().size(), 1) << "one message for the whole add";
  const QStringList lines = told.texts()[0].split(u'\n');
  ASSERT_EQ(lines.size(), 4) << told.texts()[0].toStdString();
  EXPECT_EQ(lines[0], texts_.Text(QStringLiteral("MAIN_TEXT_NOTADDED")));
  // Reasons in the language file's plain words, not the decoder's.
  EXPECT_EQ(lines[1],
            text + QStringLiteral(": ") + texts_.Text(QStringLiteral("MAIN_REASON_NOTAPHOTO")));
  EXPECT_EQ(lines[2],
            zeros + QStringLiteral(": ") + texts_.Text(QStringLiteral("MAIN_REASON_BADDATE")));
  EXPECT_EQ(lines[3],
            broken + QStringLiteral(": ") + texts_.Text(QStringLiteral("MAIN_REASON_DAMAGED")));

  // The photo whose date cannot be is listed and says why on its row; a photo without a
  // date shows none.
  QTableWidget* list = List(page);
  ASSERT_EQ(list->rowCount(), 3);
  const int impossibleRow = static_cast<int>(*page.photos().Find(impossible));
  EXPECT_TRUE(list->item(impossibleRow, PhotoPage::kStatus)
                  ->toolTip()
                  .contains(QStringLiteral("20091345")));
  const int undatedRow = static_cast<int>(*page.photos().Find(undated));
  EXPECT_EQ(list->item(undatedRow, PhotoPage::kDateTime)->text(), QString());
  EXPECT_TRUE(list->item(undatedRow, PhotoPage::kStatus)->toolTip().isEmpty());
}

TEST_F(PhotoPageTest, TheImportWindowTellsALogTheLibraryRefuses) {
  const QString drive = PlugInLogger();
  test::WriteFile(drive + QStringLiteral("/GPS/0517.LOG"), test::GenerateLog({.epochs = 30}));
  test::WriteFile(drive + QStringLiteral("/GPS/NOFIX.LOG"), "$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n");
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  LogImportDialog* dialog = page.importDialog();
  const test::MessageBoxes told;
  QTimer::singleShot(0, dialog, [dialog] {
    dialog->findChild<QPushButton*>(QStringLiteral("importButton"))->click();
    OnNextModal([](QWidget* manager) {
      manager->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
  });
  page.ImportFromLogger();
  ASSERT_EQ(told.texts().size(), 1);
  EXPECT_TRUE(told.texts()[0].contains(QStringLiteral("NOFIX.LOG holds no valid times")))
      << told.texts()[0].toStdString();
  EXPECT_FALSE(told.texts()[0].contains(QStringLiteral("0517.LOG")));
  EXPECT_EQ(page.library().size(), 1u);
}

TEST_F(PhotoPageTest, TheWindowKeepsAnsweringWhileTenThousandPhotosAreMatchedAgain) {
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  // Photos taken every second of a long log, and the log: 21:00 in Seoul is 12:00 UTC.
  constexpr int kPhotos = 5000;
  const QStringList photos =
      test::MakePhotosASecondApart(work_.path(), kPhotos, *MakeTime(2009, 5, 17, 21, 0, 0));
  ASSERT_EQ(photos.size(), kPhotos);
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = kPhotos + 100}));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos(photos);
  ASSERT_EQ(page.photos().size(), static_cast<std::size_t>(kPhotos));
  ASSERT_TRUE(page.photos().rows().back().matched);

  test::AnswerGaps gaps;
  gaps.Start();
  page.SetTolerance(0);  // the photos are matched again with the new tolerance
  test::Wait([](auto done) { QTimer::singleShot(50, done); });
  const qint64 took = gaps.Stop();
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(gaps.longest(), 200) << "the window did not answer for " << gaps.longest()
                                 << " ms of a re-match that took " << took << " ms";
#else
  (void)took;
#endif
  EXPECT_EQ(page.photos().size(), static_cast<std::size_t>(kPhotos));
  EXPECT_TRUE(page.photos().rows().front().matched);
  EXPECT_EQ(List(page)->rowCount(), kPhotos);
}

TEST_F(PhotoPageTest, ALongListIsShownASliceAtATimeWithItsSelectionWhileTheWindowAnswers) {
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  constexpr int kPhotos = 25'000;
  const QStringList photos =
      test::MakePhotosASecondApart(work_.path(), kPhotos, *MakeTime(2009, 5, 17, 21, 0, 0));
  ASSERT_EQ(photos.size(), kPhotos);
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  test::AnswerGaps gaps;
  gaps.Start();
  page.AddPhotos(photos);
  QTableWidget* list = List(page);
  ASSERT_TRUE(test::WaitFor([&] { return list->item(kPhotos - 1, 0) != nullptr; }, 30));
  const qint64 took = gaps.Stop();
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(gaps.longest(), 200) << "the window did not answer for " << gaps.longest()
                                 << " ms of an addition that took " << took << " ms";
#else
  (void)took;
#endif
  // Every slice filled, in order; a selection kept through a later showing reaches the
  // rows of every slice.
  ASSERT_EQ(list->rowCount(), kPhotos);
  for (const int row : {0, 2'499, 2'500, kPhotos - 1}) {
    EXPECT_EQ(list->item(row, PhotoPage::kFileName)->text(), QFileInfo(photos[row]).fileName());
  }
  list->clearSelection();
  for (const int row : {5, 15'000, kPhotos - 1}) {
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  page.SortByColumn(PhotoPage::kFileName);  // shows the rows again, in the same order
  ASSERT_TRUE(test::WaitFor([&] { return list->selectionModel()->selectedRows().size() == 3; }));
  QList<int> selected;
  for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
    selected << index.row();
  }
  std::sort(selected.begin(), selected.end());
  EXPECT_EQ(selected, QList<int>({5, 15'000, kPhotos - 1}));
  EXPECT_EQ(page.SelectedCount(), 3);
}

TEST_F(PhotoPageTest, TheWindowKeepsAnsweringWhileManyPhotosAreSaved) {
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  constexpr int kPhotos = 5000;
  const QStringList photos =
      test::MakePhotosASecondApart(work_.path(), kPhotos, *MakeTime(2009, 5, 17, 21, 0, 0));
  ASSERT_EQ(photos.size(), kPhotos);
  // One more photo, which another start of the program hands over during the save.
  const QString later = work_.filePath(QStringLiteral("later"));
  QDir().mkpath(later);
  const QStringList handedOver =
      test::MakePhotosASecondApart(later, 1, *MakeTime(2009, 5, 17, 22, 0, 0));
  ASSERT_EQ(handedOver.size(), 1);
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  // The photos were taken in the first hours of a long log.
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 200'000, .climbPerEpoch = 0.001}));
  const QString out = work_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos(photos);
  ASSERT_EQ(page.photos().size(), static_cast<std::size_t>(kPhotos));
  // A look at the map lets the log's points go: the save loads the log again.
  List(page)->selectRow(0);
  page.ShowMapView();

  // From the click on Save until the summary of what was written.
  test::AnswerGaps gaps;
  QString summary;
  qint64 took = 0;
  OnNextModal([&](QWidget* window) {
    auto* dialog = qobject_cast<SaveDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    dialog->SetSaveFolder(out);
    dialog->findChild<QCheckBox*>(QStringLiteral("kmlCreate"))->setChecked(true);
    dialog->findChild<QLineEdit*>(QStringLiteral("kmlName"))->setText(QStringLiteral("day"));
    test::AnswerWhenShown<QMessageBox>(dialog, [&](QMessageBox* box) {
      took = gaps.Stop();
      summary = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    QTimer::singleShot(100, &page, [&] { page.AddPhotos(handedOver); });
    gaps.Start();
    dialog->Save();
  });
  page.SavePhotos();

  EXPECT_EQ(summary, QStringLiteral("%1 file(s) written to %2.").arg(kPhotos + 1).arg(out));
  EXPECT_EQ(QDir(out).entryList({QStringLiteral("*.jpg")}, QDir::Files).size(), kPhotos);
  const QByteArray document = test::ReadFile(out + QStringLiteral("/day.KML"));
  EXPECT_TRUE(document.contains("photo00000.jpg") && document.contains("photo04999.jpg"));
  // The photo handed over waited for the save: it is listed, matched and not saved.
  ASSERT_EQ(page.photos().size(), 1u);
  EXPECT_EQ(page.photos().rows()[0].path, handedOver[0]);
  EXPECT_TRUE(page.photos().rows()[0].matched);
  EXPECT_EQ(List(page)->rowCount(), 1);
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(gaps.longest(), 200) << "the window did not answer for " << gaps.longest()
                                 << " ms of a save that took " << took << " ms";
#endif
}

TEST_F(PhotoPageTest, TheSelectionFollowsItsPhotosThroughEveryRebuild) {
  const QStringList photos = DatedPhotos(
      {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg"),
       QStringLiteral("d.jpg")},
      {"2009:05:17 21:01:00", "2009:05:17 21:02:00", "2009:05:17 21:03:00", "2009:05:17 21:00:30"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos(photos.mid(0, 3));
  QTableWidget* list = List(page);
  const auto selectedPaths = [&] {
    QStringList paths;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
      paths << list->item(index.row(), PhotoPage::kPath)->text();
    }
    paths.sort();
    return paths.join(u'|').toStdString();
  };
  list->selectRow(1);
  list->selectionModel()->select(list->model()->index(2, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const std::string chosen = (photos[1] + u'|' + photos[2]).toStdString();
  ASSERT_EQ(selectedPaths(), chosen);

  page.SetTolerance(1);
  EXPECT_EQ(selectedPaths(), chosen) << "after a tolerance change";
  page.SetPositionCorrection(true, 100, -100);
  EXPECT_EQ(selectedPaths(), chosen) << "after a correction change";
  page.AddPhotos({photos[3]});  // sorted first: every row moves down
  EXPECT_EQ(selectedPaths(), chosen) << "after an add";
  OnNextModal([](QWidget* details) { details->close(); });
  page.ShowDetails();
  EXPECT_EQ(selectedPaths(), chosen) << "after the details";
  EXPECT_TRUE(page.findChild<QPushButton*>(QStringLiteral("removeButton"))->isEnabled());

  // The map tab shows the selected photos.
  QDir().mkpath(settings_->folders().cacheFolder);
  MapRequest shown;
  QObject::connect(&page, &PhotoPage::mapRequested, [&](const MapRequest& r) { shown = r; });
  page.ShowMapView();
  EXPECT_TRUE(shown.show);
}

TEST_F(PhotoPageTest, TheStatusMarkIsInTheMiddleOfItsCell) {
  const QString photo = work_.filePath(QStringLiteral("a.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 21:01:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.resize(1000, 500);
  page.show();
  page.AddPhotos({photo});
  QTableWidget* list = List(page);
  list->setColumnWidth(PhotoPage::kStatus, 80);
  const QRect cell = list->visualRect(list->model()->index(0, PhotoPage::kStatus));
  const QImage image = list->viewport()->grab().toImage();
  // The mark is what differs from the cell's background, inside the grid lines.
  const QRect inside = cell.adjusted(2, 2, -2, -2);
  const QRgb background = image.pixel(inside.topLeft());
  QRect mark;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor c(image.pixel(x, y));
      const QColor b(background);
      if (std::abs(c.red() - b.red()) + std::abs(c.green() - b.green()) +
              std::abs(c.blue() - b.blue()) >
          60) {
        mark |= QRect(x, y, 1, 1);
      }
    }
  }
  ASSERT_FALSE(mark.isEmpty());
  EXPECT_NEAR(mark.center().x(), cell.center().x(), 2)
      << "mark " << mark.left() << ".." << mark.right();
  EXPECT_NEAR(mark.center().y(), cell.center().y(), 2);
}

// The whole first use: a photo, a logger with the day's log, GPS import, and the photo
// gets its position.
TEST_F(PhotoPageTest, ImportingTheLoggersLogMatchesThePhotos) {
  const QString photo = work_.filePath(QStringLiteral("walk.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 21:01:30")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString drive = PlugInLogger();
  // 12:00 UTC is 21:00 in Seoul, where the camera's clock was set.
  test::WriteFile(drive + QStringLiteral("/GPS/0517.LOG"),
                  test::GenerateLog({.hour = 12, .epochs = 300}));

  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  EXPECT_EQ(page.logger().state.kind, LoggerKind::kModelA);
  page.AddPhotos({photo});
  EXPECT_FALSE(page.photos().AnyToSave());

  LogImportDialog* dialog = page.importDialog();
  QTimer::singleShot(0, dialog, [dialog] {
    auto* zones = dialog->findChild<QComboBox*>(QStringLiteral("zoneList"));
    zones->setCurrentIndex(zones->findData(900));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("logFolder"))->text().right(4),
              QStringLiteral("/GPS"));
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("freeSpace"))
                    ->text()
                    .endsWith(QStringLiteral("Mb")));
    EXPECT_FALSE(
        dialog->findChild<QLabel*>(QStringLiteral("disconnectedText"))->isVisibleTo(dialog));
    dialog->findChild<QPushButton*>(QStringLiteral("importButton"))->click();
    // Then the log manager opens, listing the imported log.
    OnNextModal([](QWidget* manager) {
      auto* logs = manager->findChild<QTableWidget*>(QStringLiteral("logList"));
      EXPECT_EQ(logs->rowCount(), 1);
      EXPECT_EQ(logs->item(0, LogManagerDialog::kTimeZone)->text(), QStringLiteral("GMT +09:00"));
      manager->grab().save(test::BinaryFolder() +
                           QStringLiteral("/../test-output/log-manager.png"));
      manager->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
  });
  page.ImportFromLogger();

  EXPECT_TRUE(dialog->problems().isEmpty()) << dialog->problems().join(u'\n').toStdString();
  ASSERT_EQ(page.library().size(), 1u);
  EXPECT_EQ(page.library().log(0).timeZone(), 900);
  QTableWidget* list = List(page);
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_TRUE(list->item(0, PhotoPage::kStatus)->data(Qt::UserRole).toBool());
  EXPECT_FALSE(list->item(0, PhotoPage::kLatitude)->text().isEmpty());
  EXPECT_EQ(list->item(0, PhotoPage::kLogFile)->text(), page.library().log(0).filePath());
  EXPECT_EQ(Text(page, "step3Text"),
            texts_.MultiLineText(QStringLiteral("MAIN_TEXT_STEP3_CONTINUE")));
  EXPECT_TRUE(QFile::exists(drive + QStringLiteral("/GPS/0517.LOG"))) << "kept: delete was off";

  // The page as the user sees it, for a look by eye.
  page.resize(1000, 560);
  QDir().mkpath(test::BinaryFolder() + QStringLiteral("/../test-output"));
  page.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/photo-page.png"));
}

TEST_F(PhotoPageTest, TheWindowAnswersWhileALongLogIsImportedAndPhotosHandedOverWait) {
  const QString photo = work_.filePath(QStringLiteral("walk.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 21:01:30")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString drive = PlugInLogger();
  test::WriteFile(drive + QStringLiteral("/GPS/0517.LOG"),
                  test::GenerateLog({.hour = 12, .epochs = 200'000}));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  LogImportDialog* dialog = page.importDialog();
  test::AnswerGaps gaps;
  std::size_t photosWhileImporting = 99;
  QTimer::singleShot(0, dialog, [&] {
    auto* zones = dialog->findChild<QComboBox*>(QStringLiteral("zoneList"));
    zones->setCurrentIndex(zones->findData(900));
    // Another start of the program hands over a photo while the log is copied and scanned:
    // it waits until the library is no longer in use.
    QTimer::singleShot(20, &page, [&] { page.AddPhotos({photo}); });
    gaps.Start();
    dialog->findChild<QPushButton*>(QStringLiteral("importButton"))->click();
    OnNextModal([&](QWidget* manager) {
      gaps.Stop();
      photosWhileImporting = page.photos().size();
      manager->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
  });
  page.ImportFromLogger();
  EXPECT_TRUE(dialog->problems().isEmpty()) << dialog->problems().join(u'\n').toStdString();
  ASSERT_EQ(page.library().size(), 1u);
  EXPECT_EQ(photosWhileImporting, 0u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.photos().size() == 1; }, 60000));
  EXPECT_TRUE(page.photos().AnyToSave());
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(gaps.longest(), 200) << "the window did not answer for " << gaps.longest() << " ms";
#endif
}

TEST_F(PhotoPageTest, PhotosHandedOverWhileTheImportWindowIsOpenAreAddedWhenItCloses) {
  const QString photo = work_.filePath(QStringLiteral("walk.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 21:01:30")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  LogImportDialog* dialog = page.importDialog();
  std::size_t photosWhileOpen = 99;
  QTimer::singleShot(0, dialog, [&] {
    page.AddPhotos({photo});
    QTimer::singleShot(50, dialog, [&] {
      photosWhileOpen = page.photos().size();
      dialog->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
  });
  page.ImportFromLogger();
  EXPECT_EQ(photosWhileOpen, 0u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return page.photos().size() == 1; }, 10000))
      << "closed without an import, the window leaves no photo waiting";
}

TEST_F(PhotoPageTest, LogsAddedByAnotherProgramMatchAndABrokenLogIsToldOnItsRow) {
  const QString early = work_.filePath(QStringLiteral("early.jpg"));
  const QString late = work_.filePath(QStringLiteral("late.jpg"));
  if (!test::MakePhotoTakenAt(early, "2009:05:17 21:01:30") ||
      !test::MakePhotoTakenAt(late, "2009:05:18 21:01:30")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.AddPhotos({early});
  EXPECT_FALSE(page.photos().AnyToSave());
  // trevalo-cli, say, adds the day's logs (Seoul time) meanwhile; the second holds a point
  // whose time does not exist.
  LogLibrary other(page.library().folder(), 0);
  const QString day1 = test::WriteGeneratedLog(work_.path(), QStringLiteral("day1.log"),
                                               {.hour = 12, .epochs = 300});
  const QString day2 =
      test::WriteGeneratedLog(work_.path(), QStringLiteral("day2.log"),
                              {.day = 18,
                               .hour = 12,
                               .epochs = 300,
                               .replacedFields = {{.epoch = 150, .time = "250000.000"}}});
  ASSERT_TRUE(other.AddLog(day1, 0, 0, 900).done());
  ASSERT_TRUE(other.AddLog(day2, 0, 0, 900).done());
  page.AddPhotos({late});
  ASSERT_EQ(page.photos().size(), 2u);
  const PhotoRow& first = page.photos().rows()[0];
  EXPECT_TRUE(first.matched) << "matched again once the library changed";
  EXPECT_EQ(first.logFile, day1);
  const PhotoRow& second = page.photos().rows()[1];
  EXPECT_FALSE(second.matched);
  EXPECT_TRUE(List(page)->item(1, PhotoPage::kStatus)->toolTip().contains(day2));
}

TEST_F(PhotoPageTest, SavingWritesTheMatchedCopiesAndAKmlDocument) {
  const QStringList photos = DatedPhotos(
      {QStringLiteral("IMG_1.JPG"), QStringLiteral("IMG_2.JPG"), QStringLiteral("IMG_3.JPG")},
      {"2009:05:17 21:01:00", "2008:01:01 10:00:00", "2009:05:17 21:03:00"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  const QString out = work_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  test::WriteFile(out + QStringLiteral("/IMG_1.JPG"), "an older file of the same name");

  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos(photos);
  auto* save = page.findChild<QPushButton*>(QStringLiteral("saveButton"));
  EXPECT_TRUE(save->isEnabled());

  QString refusal;
  QString summary;
  OnNextModal([&](QWidget* window) {
    auto* dialog = qobject_cast<SaveDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    auto* kmz = dialog->findChild<QCheckBox*>(QStringLiteral("kmzCreate"));
    EXPECT_FALSE(kmz->isEnabled());
    dialog->SetSaveFolder(out);
    dialog->findChild<QCheckBox*>(QStringLiteral("kmlCreate"))->setChecked(true);
    EXPECT_TRUE(kmz->isEnabled());
    dialog->findChild<QLineEdit*>(QStringLiteral("kmlName"))->setText(QStringLiteral("a/b:c"));
    auto* width = dialog->findChild<QLineEdit*>(QStringLiteral("imageWidth"));
    dialog->grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/save-dialog.png"));
    width->setText(QStringLiteral("1200"));
    OnNextModal([&](QWidget* box) {
      refusal = qobject_cast<QMessageBox*>(box)->text();
      box->close();
    });
    dialog->Save();  // refused: the width is out of range
    EXPECT_EQ(width->text(), QStringLiteral("800"));
    EXPECT_TRUE(dialog->isVisible());
    test::AnswerWhenShown<QMessageBox>(dialog, [&](QMessageBox* box) {
      summary = box->text();
      box->grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/save-summary.png"));
      box->button(QMessageBox::Ok)->click();
    });
    dialog->Save();
  });
  save->click();
  // Two copies and the document, all in the save folder.
  EXPECT_EQ(summary, QStringLiteral("3 file(s) written to %1.").arg(out));

  EXPECT_FALSE(refusal.isEmpty());
  EXPECT_TRUE(QFile::exists(out + QStringLiteral("/a_b_c.KML")));
  EXPECT_TRUE(QFile::exists(out + QStringLiteral("/_IMG_1.JPG"))) << "the older file is kept";
  EXPECT_EQ(test::ReadFile(out + QStringLiteral("/IMG_1.JPG")),
            QByteArray("an older file of the same name"));
  EXPECT_TRUE(QFile::exists(out + QStringLiteral("/IMG_3.JPG")));
  EXPECT_FALSE(QFile::exists(out + QStringLiteral("/IMG_2.JPG")));
  // The photo without a position stays in the list for another try.
  ASSERT_EQ(page.photos().size(), 1u);
  EXPECT_EQ(page.photos().rows()[0].fileName, QStringLiteral("IMG_2.JPG"));
  EXPECT_FALSE(save->isEnabled());
  EXPECT_EQ(settings_->ReadSetting(setting::kPathSave), out + u'/');
  const QByteArray gps = test::Run(QStringLiteral("exiftool"),
                                   {QStringLiteral("-s3"), QStringLiteral("-GPSLatitudeRef"),
                                    out + QStringLiteral("/IMG_3.JPG")});
  EXPECT_EQ(gps.trimmed(), QByteArray("North"));
}

TEST_F(PhotoPageTest, EachPhotoThatCannotBeRewrittenIsWarnedOfAlone) {
  const QStringList photos = DatedPhotos({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")},
                                         {"2009:05:17 21:01:00", "2009:05:17 21:01:00"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos(photos);
  ASSERT_TRUE(page.photos().AnyToSave());
  // Their EXIF data grows, once listed, to where no GPS directory fits.
  for (const QString& photo : photos) {
    QByteArray bytes = test::ReadFile(photo);
    const qsizetype exif = bytes.indexOf("Exif") - 4;
    const int length = static_cast<unsigned char>(bytes[exif + 2]) << 8 |
                       static_cast<unsigned char>(bytes[exif + 3]);
    bytes.insert(exif + 2 + length, QByteArray(65500 - length, '\x55'));
    bytes[exif + 2] = static_cast<char>(65500 >> 8);
    bytes[exif + 3] = static_cast<char>(65500 & 0xFF);
    test::WriteFile(photo,
                    std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  }
  const QString out = work_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  std::unique_ptr<test::MessageBoxes> told;
  OnNextModal([&](QWidget* window) {
    auto* dialog = qobject_cast<SaveDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    dialog->SetSaveFolder(out);
    told = std::make_unique<test::MessageBoxes>();
    dialog->Save();
  });
  page.SavePhotos();

  ASSERT_NE(told, nullptr);
  ASSERT_EQ(told->texts().size(), 2) << told->texts().join(u'|').toStdString();
  for (int i = 0; i < 2; ++i) {
    const QStringList lines = told->texts()[i].split(u'\n');
    ASSERT_EQ(lines.size(), 3) << told->texts()[i].toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("File has compatibility problem :"));
    EXPECT_EQ(lines[1], photos[i]);
    EXPECT_TRUE(lines[2].contains(QStringLiteral("65535"))) << lines[2].toStdString();
  }
  EXPECT_EQ(page.photos().size(), 2u) << "both stay for another try";
}

TEST_F(PhotoPageTest, WithoutALoggerTheImportWindowSaysSo) {
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  LogImportDialog* dialog = page.importDialog();
  dialog->Prepare();
  EXPECT_EQ(dialog->logger().kind, LoggerKind::kNone);
  EXPECT_FALSE(dialog->findChild<QPushButton*>(QStringLiteral("importButton"))->isEnabled());
  EXPECT_FALSE(dialog->findChild<QCheckBox*>(QStringLiteral("deleteAfterImport"))->isEnabled());
  EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("disconnectedText"))->isVisibleTo(dialog));
  EXPECT_FALSE(dialog->findChild<QLabel*>(QStringLiteral("logFolder"))->isVisibleTo(dialog));
  auto* zones = dialog->findChild<QComboBox*>(QStringLiteral("zoneList"));
  EXPECT_EQ(zones->count(), 38);
  EXPECT_EQ(zones->itemText(0), QStringLiteral("GMT -12:00"));
  EXPECT_EQ(zones->itemText(14), QStringLiteral("GMT"));
  EXPECT_EQ(zones->itemText(23), QStringLiteral("GMT +05:45"));
}

TEST_F(PhotoPageTest, TheCorrectionsInForceAreSaidUnderTheSteps) {
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  auto* line = page.findChild<QLabel*>(QStringLiteral("correctionsLine"));
  ASSERT_NE(line, nullptr);
  EXPECT_FALSE(line->isVisible());

  page.SetPositionCorrection(true, 250, -100);
  EXPECT_TRUE(line->isVisible());
  EXPECT_EQ(line->text(), QStringLiteral("Position correction: positions are moved +2.50\" north "
                                         "and -1.00\" east."));
  // A camera a day and 90 minutes behind, and one 30 seconds ahead.
  MatchSettings match;
  match.cameraCorrection = true;
  match.cameraSpan = 86400 + 5400;
  EXPECT_EQ(
      CorrectionSummary(match, texts_),
      QStringLiteral("Camera time correction: +1 d 01:30:00 is added to every capture time."));
  match.cameraSpan = -30;
  EXPECT_EQ(SignedSpanText(match.cameraSpan, texts_), QStringLiteral("-00:00:30"));
  const LanguageTexts korean = LanguageTexts::LoadFile(
      test::SourceFolder() + QStringLiteral("/resources/Lang/LANG_KOR.INI"));
  EXPECT_EQ(SignedSpanText(3 * 86400, korean), QString::fromUtf8("+3일 00:00:00"));

  page.SetPositionCorrection(false, 250, -100);
  EXPECT_FALSE(line->isVisible());
}

TEST_F(PhotoPageTest, TheLogManagerOpensFromThePhotoPageWithoutALogger) {
  PhotoPage page(*settings_, texts_, nullptr, Tree());  // no logger in the tree
  page.show();
  EXPECT_TRUE(Text(page, "step2Text").contains(QStringLiteral("Log Manager")));
  bool opened = false;
  OnNextModal([&opened](QWidget* manager) {
    opened = manager->objectName() == QStringLiteral("logManager");
    manager->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
  });
  page.findChild<QPushButton*>(QStringLiteral("logManagerButton"))->click();
  EXPECT_TRUE(opened);
}

TEST_F(PhotoPageTest, PhotosHandedOverWhileTheLogManagerIsOpenWaitUntilItCloses) {
  const QString photo = work_.filePath(QStringLiteral("a.jpg"));
  if (!test::MakePhotoTakenAt(photo, "2009:05:17 21:01:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  std::size_t listedWhileOpen = 99;
  OnNextModal([&](QWidget* manager) {
    // Another start of the program hands the photo over: the manager's commands may be
    // using the library, so it is not added yet.
    page.AddPhotos({photo});
    listedWhileOpen = page.photos().size();
    manager->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
  });
  page.ShowLogManager();
  EXPECT_EQ(listedWhileOpen, 0u);
  test::Wait([](auto done) { QTimer::singleShot(50, done); });
  ASSERT_EQ(page.photos().size(), 1u);
  EXPECT_TRUE(page.photos().rows()[0].matched);
  EXPECT_EQ(List(page)->rowCount(), 1);
}

}  // namespace
}  // namespace trevalo

namespace trevalo {
namespace {

// A RAW photo is listed and matched like a JPEG; the save window says it gets a sidecar,
// named as the settings say, and saving writes that sidecar and leaves the photo alone.
TEST_F(PhotoPageTest, ARawPhotoIsMatchedAndSavedThroughASidecar) {
  const QString raw = work_.filePath(QStringLiteral("IMG_0042.CR3"));
  const QString jpeg = work_.filePath(QStringLiteral("IMG_0043.jpg"));
  ASSERT_TRUE(test::MakeOtherPhoto(raw, "2009:05:17 21:01:00"));
  if (!test::MakePhotoTakenAt(jpeg, "2009:05:17 21:02:00")) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  settings_->WriteSetting(setting::kSidecarBaseName, QStringLiteral("1"));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.resize(1100, 500);
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos({raw, jpeg});
  ASSERT_EQ(page.photos().size(), 2u);
  EXPECT_TRUE(page.photos().rows()[0].matched);
  EXPECT_FALSE(page.photos().rows()[0].jpeg);
  auto* list = page.findChild<QTableWidget*>(QStringLiteral("photoList"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("IMG_0042.CR3"));
  EXPECT_FALSE(list->item(0, 3)->text().isEmpty());  // its latitude
  page.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/photo-page-raw.png"));

  const QByteArray before = test::ReadFile(raw);
  const QString out = work_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  QString note;
  QString summary;
  QStringList offered;
  QString failed;
  OnNextModal([&](QWidget* window) {
    auto* dialog = qobject_cast<SaveDialog*>(window);
    ASSERT_NE(dialog, nullptr);
    auto* label = dialog->findChild<QLabel*>(QStringLiteral("sidecarNote"));
    ASSERT_NE(label, nullptr);
    note = label->isVisible() ? label->text() : QString();
    dialog->grab().save(test::BinaryFolder() +
                        QStringLiteral("/../test-output/save-dialog-sidecar.png"));
    dialog->SetSaveFolder(out);
    test::AnswerWhenShown<QMessageBox>(dialog, [&summary, &offered, &failed](QMessageBox* box) {
      summary = box->text();
      // Open Folder offers each folder; the one picked opens.
      const auto* menu = box->findChild<QMenu*>(QStringLiteral("openFolderMenu"));
      ASSERT_NE(menu, nullptr);
      for (QAction* action : menu->actions()) {
        offered << action->text();
      }
      // No file manager starts here: that is told in a message, not on stderr.
      OnNextModal([&failed](QWidget* window) {
        auto* message = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(message, nullptr);
        failed = message->text();
        message->accept();
      });
      menu->actions().back()->trigger();
    });
    dialog->Save();
  });
  QStringList opened;
  const FolderOpener usualOpener = ReplaceFolderOpener([&opened](const QString& folder) {
    opened << folder;
    return false;
  });
  page.SavePhotos();
  ReplaceFolderOpener(usualOpener);
  // The sidecar beside the RAW photo and the JPEG's copy: two files in two folders, each
  // named.
  ASSERT_EQ(offered.size(), 2);
  EXPECT_EQ(QSet<QString>(offered.begin(), offered.end()),
            (QSet<QString>{QDir::cleanPath(work_.path()), out}));
  EXPECT_EQ(summary, QStringLiteral("2 file(s) written in 2 folders:\n") + offered.join(u'\n'));
  EXPECT_EQ(opened, QStringList{offered.back()});
  EXPECT_EQ(failed, texts_.Text(QStringLiteral("COMMON_TEXT_NOFILEMANAGER")).arg(offered.back()));
  EXPECT_EQ(note, texts_.Text(QStringLiteral("SAVE_TEXT_SIDECAR")) +
                      QStringLiteral("\nIMG_0042.CR3 \u2192 IMG_0042.xmp"));
  EXPECT_TRUE(PathExists(work_.filePath(QStringLiteral("IMG_0042.xmp"))));
  EXPECT_EQ(test::ReadFile(raw), before);
  EXPECT_TRUE(PathExists(out + QStringLiteral("/IMG_0043.jpg")));
  EXPECT_FALSE(PathExists(out + QStringLiteral("/IMG_0042.CR3")));
  EXPECT_TRUE(page.photos().empty());
}

TEST_F(PhotoPageTest, AFolderAddsThePhotosInsideItAndTheKeysOfAListWork) {
  // Photos two folders deep beside a text file, and one more in a second folder.
  const QString trip = work_.filePath(QStringLiteral("trip"));
  const QStringList photos =
      DatedPhotos({QStringLiteral("trip/day1/a.jpg"), QStringLiteral("trip/day1/b.JPG"),
                   QStringLiteral("trip/day2/raw/c.jpg")},
                  {"2009:05:17 21:01:00", "2009:05:17 21:01:00", "2009:05:17 21:01:00"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  test::WriteFile(trip + QStringLiteral("/day1/notes.txt"), "not a photo");
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  page.activateWindow();
  {
    const test::MessageBoxes told;
    page.AddPhotos({trip});
    EXPECT_TRUE(told.texts().isEmpty()) << "the text file is no photo to tell of";
  }
  ASSERT_EQ(page.photos().size(), 3u);
  for (const QString& photo : photos) {
    EXPECT_TRUE(page.photos().Find(photo).has_value()) << photo.toStdString();
  }

  QTableWidget* list = List(page);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list->selectionModel()->selectedRows().size(), 3);
  list->clearSelection();
  list->selectRow(1);
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(page.photos().size(), 2u);

  bool chooserShown = false;
  OnNextModal([&chooserShown](QWidget* chooser) {
    chooserShown = qobject_cast<QFileDialog*>(chooser) != nullptr;
    chooser->close();
  });
  QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(chooserShown);
}

TEST_F(PhotoPageTest, HeadersOrderThePhotosByTheirOwnValues) {
  // A walk north from 21:00 (log time); photos at 21:03, 21:01 and 21:02, and one taken a
  // month later that matches nothing.
  const QStringList photos = DatedPhotos(
      {QStringLiteral("IMG_10.jpg"), QStringLiteral("IMG_9.jpg"), QStringLiteral("img_2.jpg"),
       QStringLiteral("later.jpg")},
      {"2009:05:17 21:03:00", "2009:05:17 21:01:00", "2009:05:17 21:02:00", "2009:06:17 21:02:00"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  const QString log = work_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300, .northMetresPerEpoch = 3}));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  ASSERT_TRUE(page.library().AddLog(log, 0, 0, 900).done());
  page.AddPhotos(photos);
  const auto shownNames = [&] { return ShownNames(page); };
  QHeaderView* header = List(page)->horizontalHeader();
  const auto click = [&](int column) {
    ClickHeader(page, column);
    return shownNames();
  };
  ASSERT_EQ(shownNames(), "IMG_9.jpg img_2.jpg IMG_10.jpg later.jpg") << "by date at first";
  EXPECT_EQ(click(PhotoPage::kFileName), "img_2.jpg IMG_9.jpg IMG_10.jpg later.jpg");
  EXPECT_EQ(click(PhotoPage::kFileName), "later.jpg IMG_10.jpg IMG_9.jpg img_2.jpg");
  // Northward: latitude grows with time; the photo without a position stays last.
  EXPECT_EQ(click(PhotoPage::kLatitude), "IMG_9.jpg img_2.jpg IMG_10.jpg later.jpg");
  EXPECT_EQ(click(PhotoPage::kLatitude), "IMG_10.jpg img_2.jpg IMG_9.jpg later.jpg");
  EXPECT_EQ(click(PhotoPage::kStatus), "later.jpg IMG_10.jpg img_2.jpg IMG_9.jpg");
  EXPECT_TRUE(header->isSortIndicatorShown());

  // Photos added afterwards take the list's own order again.
  const QString more = work_.filePath(QStringLiteral("a.jpg"));
  ASSERT_TRUE(test::MakePhotoTakenAt(more, "2009:05:17 21:00:30"));
  page.AddPhotos({more});
  EXPECT_EQ(shownNames(), "a.jpg IMG_9.jpg img_2.jpg IMG_10.jpg later.jpg");
  EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(PhotoPageTest, RemoveTakesOutExactlyTheSelectedRowsInTheOrderShown) {
  const QStringList photos =
      DatedPhotos({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.jpg"),
                   QStringLiteral("d.jpg"), QStringLiteral("e.jpg"), QStringLiteral("f.jpg")},
                  {"2009:05:17 21:01:00", "2009:05:17 21:02:00", "2009:05:17 21:03:00",
                   "2009:05:17 21:04:00", "2009:05:17 21:05:00", "2009:05:17 21:06:00"});
  if (photos.isEmpty()) {
    GTEST_SKIP() << "exiftool is not installed";
  }
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.resize(1000, 600);
  page.show();
  page.AddPhotos(photos);
  ASSERT_EQ(ShownNames(page), "a.jpg b.jpg c.jpg d.jpg e.jpg f.jpg");
  // Ordered by name backwards, the rows no longer follow the order the photos were added in.
  ClickHeader(page, PhotoPage::kFileName);
  ClickHeader(page, PhotoPage::kFileName);
  ASSERT_EQ(ShownNames(page), "f.jpg e.jpg d.jpg c.jpg b.jpg a.jpg");
  QTableWidget* list = List(page);
  list->clearSelection();
  for (const int row : {5, 0, 3, 2}) {
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  auto* remove = page.findChild<QPushButton*>(QStringLiteral("removeButton"));
  ASSERT_TRUE(remove->isEnabled());
  remove->click();
  EXPECT_EQ(ShownNames(page), "e.jpg b.jpg");
  ASSERT_EQ(page.photos().size(), 2u);
  EXPECT_EQ(page.photos().rows()[0].path, photos[4]);
  EXPECT_EQ(page.photos().rows()[1].path, photos[1]);
  // The list knows the kept photos at their new rows, and the removed ones no more: one of
  // them given again comes back.
  EXPECT_EQ(page.photos().Find(photos[1]), std::optional<std::size_t>(1));
  EXPECT_EQ(page.photos().Find(photos[3]), std::nullopt);
  page.AddPhotos({photos[3]});
  EXPECT_EQ(ShownNames(page), "b.jpg d.jpg e.jpg");
}

// Removing every other row of a long list costs about as much as showing the rows left.
TEST_F(PhotoPageTest, RemovingHalfOfTenThousandRowsTakesAboutAsLongAsShowingTheRest) {
  if (const QString missing = test::SeedPhotosMissing(); !missing.isEmpty()) {
    GTEST_SKIP() << missing.toStdString();
  }
  constexpr int kPhotos = 10000;
  const QStringList photos =
      test::MakePhotosASecondApart(work_.path(), kPhotos, *MakeTime(2009, 5, 17, 21, 0, 0));
  PhotoPage page(*settings_, texts_, nullptr, Tree());
  page.show();
  page.AddPhotos(photos);
  ASSERT_EQ(page.photos().size(), static_cast<std::size_t>(kPhotos));
  QTableWidget* list = List(page);
  QElapsedTimer clock;
  clock.start();
  page.SortByColumn(PhotoPage::kFileName);  // shows every row again
  const qint64 showing = clock.restart();
  QItemSelection everyOther;
  for (int row = 0; row < kPhotos; row += 2) {
    everyOther.select(list->model()->index(row, 0), list->model()->index(row, 0));
  }
  list->selectionModel()->select(everyOther,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  clock.restart();
  page.findChild<QPushButton*>(QStringLiteral("removeButton"))->click();
  const qint64 removing = clock.elapsed();
#if !defined(__SANITIZE_ADDRESS__)  // instrumented code is several times slower
  EXPECT_LT(removing, 200 + 2 * showing)
      << "removing took " << removing << " ms, showing every row " << showing << " ms";
#else
  (void)showing;
  (void)removing;
#endif
  ASSERT_EQ(page.photos().size(), static_cast<std::size_t>(kPhotos / 2));
  EXPECT_EQ(page.photos().rows().front().path, photos[1]);
}

}  // namespace
}  // namespace trevalo
