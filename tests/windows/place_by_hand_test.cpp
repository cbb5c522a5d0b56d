// Photos placed by hand on the map of the main window, in the real browser engine: a click
// on the map, a click on a drawn track, a marker dragged, a position cleared, undo and redo
// by their keys, and what Save then writes (and takes back).

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "desktop/main_window.h"
#include "map/map_page.h"
#include "support/event_wait.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "support/web_script.h"
#include "tagging/photo_page.h"
#include "tagging/photo_preview.h"
#include "tagging/save_dialog.h"
#include "widgets/file_drop_list.h"
#include "widgets/page_scheme.h"
#include "window_settings.h"

namespace trevalo {
namespace {

using test::RunScript;
using test::WaitFor;

class PlaceByHand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo::exists(QStringLiteral("/usr/share/javascript/leaflet/leaflet.js"))) {
      GTEST_SKIP() << "the map library (libjs-leaflet) is not installed";
    }
    settings_ = test::WindowSettings(home_.path());
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    settings_->WriteSetting(setting::kShowTrack, QStringLiteral("1"));
    InstallPageScheme(QWebEngineProfile::defaultProfile(), ProgramPageFolders(settings_->folders()),
                      [](const QString& path) { return PhotoPreviewJpeg(path); });
  }
  QWebEngineView* View(MainWindow& window) { return window.mapPage()->view(); }
  // Clicks the map's view at a point of its page, as the mouse does.
  void Click(MainWindow& window, QPoint at) {
    QTest::mouseClick(View(window)->focusProxy(), Qt::LeftButton, Qt::NoModifier, at);
  }
  // The centre of the first element the selector finds, in the view; nullopt without one.
  std::optional<QPoint> CentreOf(MainWindow& window, const QString& selector) {
    const QVariantList box =
        RunScript(View(window),
                  QStringLiteral("(() => { const e = document.querySelector('%1');"
                                 " if (!e) return [];"
                                 " const r = e.getBoundingClientRect();"
                                 " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                      .arg(selector))
            .toList();
    if (box.size() != 2) {
      return std::nullopt;
    }
    return QPoint(qRound(box[0].toDouble()), qRound(box[1].toDouble()));
  }
  // Where what the selector finds comes to rest (the map may be moving still).
  std::optional<QPoint> RestingCentreOf(MainWindow& window, const QString& selector) {
    std::optional<QPoint> at;
    WaitFor([&] {
      const std::optional<QPoint> last = std::exchange(at, CentreOf(window, selector));
      return at.has_value() && last == at;
    });
    return at;
  }
  // Clicks what the selector finds once it rests.
  bool ClickWhenShown(MainWindow& window, const QString& selector) {
    const std::optional<QPoint> at = RestingCentreOf(window, selector);
    if (at) {
      Click(window, *at);
    }
    return at.has_value();
  }
  // [latitude, longitude] of the map at a point of the view.
  QVariantList MapAt(MainWindow& window, QPoint at) {
    return RunScript(View(window), QStringLiteral("(() => { const l = trevaloMap."
                                                  "containerPointToLatLng([%1, %2]).wrap();"
                                                  " return [l.lat, l.lng]; })()")
                                       .arg(at.x())
                                       .arg(at.y()))
        .toList();
  }
  int PlacedMarkers(MainWindow& window) {
    return RunScript(View(window),
                     QStringLiteral("TrevaloMap.drawn.photos.filter(m => m.trevaloPlaced).length"))
        .toInt();
  }
  void Select(MainWindow& window, const QStringList& photos) {
    auto* list = window.photoPage()->findChild<QTableWidget*>(QStringLiteral("photoList"));
    list->clearSelection();
    for (const QString& photo : photos) {
      list->selectionModel()->select(
          list->model()->index(static_cast<int>(*window.photoPage()->photos().Find(photo)), 0),
          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
  }
  const PhotoRow& Row(MainWindow& window, const QString& photo) {
    return window.photoPage()->photos().rows()[*window.photoPage()->photos().Find(photo)];
  }

  QTemporaryDir home_;
  std::unique_ptr<Settings> settings_;
};

TEST_F(PlaceByHand, ClickDragClearUndoAndSaveWhatWasPlaced) {
  const QString matched = home_.filePath(QStringLiteral("walk.jpg"));
  const QString first = home_.filePath(QStringLiteral("june1.dng"));
  const QString second = home_.filePath(QStringLiteral("june2.jpg"));
  if (!test::MakePhotoTakenAt(matched, "2009:05:17 21:01:30") ||
      !test::MakeOtherPhoto(first, "2009:06:01 10:00:00") ||
      !test::MakePhotoTakenAt(second, "2009:06:02 10:00:00")) {
    GTEST_SKIP() << "exiftool or ImageMagick is not installed";
  }
  MainWindow window(*settings_, false);
  window.resize(1000, 700);
  window.show();
  PhotoPage* page = window.photoPage();
  const QString log = home_.filePath(QStringLiteral("0517.LOG"));
  test::WriteFile(log, test::GenerateLog({.hour = 12, .epochs = 300}));
  ASSERT_TRUE(page->library().AddLog(log, 0, 0, 900).done());
  page->AddPhotos({matched, first, second});
  ASSERT_TRUE(Row(window, matched).matched);

  // The matched photo and its log's track on the map.
  Select(window, {matched});
  window.SelectTab(MainWindow::kMapTab);
  // The photos-and-tracks page, not the first page the map showed.
  ASSERT_TRUE(WaitFor(
      [&] {
        return RunScript(View(window),
                         QStringLiteral("location.pathname.endsWith('MapViewXml.trh') &&"
                                        " document.body && document.body."
                                        "getAttribute('data-state') === 'drawn'"))
            .toBool();
      },
      20));
  // The two photos no log covers, selected in the list, are placed by a click on the map.
  window.SelectTab(MainWindow::kPhotoTab);
  Select(window, {first, second});
  window.SelectTab(MainWindow::kMapTab);
  EXPECT_EQ(window.mapPage()->placer()->photosToPlace(), 2);
  const QPoint spot(200, 150);
  const QVariantList spotAt = MapAt(window, spot);
  Click(window, spot);
  ASSERT_TRUE(ClickWhenShown(window, QStringLiteral(".trevalo-place-here")));
  ASSERT_TRUE(WaitFor([&] { return Row(window, second).placed.has_value(); }));
  for (const QString& photo : {first, second}) {
    const PhotoRow& row = Row(window, photo);
    EXPECT_NEAR(row.placed->latitude, spotAt[0].toDouble(), 1e-9);
    EXPECT_NEAR(row.placed->longitude, spotAt[1].toDouble(), 1e-9);
    EXPECT_FALSE(row.placed->altitude);
    EXPECT_FALSE(row.matched);
    EXPECT_FALSE(row.latitudeText.isEmpty());
  }
  EXPECT_TRUE(WaitFor([&] { return PlacedMarkers(window) == 2; }));
  EXPECT_TRUE(page->findChild<QPushButton*>(QStringLiteral("saveButton"))->isEnabled());

  // A click on the track offers its point there, with the point's altitude.
  const QVariantList vertex =
      RunScript(View(window),
                QStringLiteral("(() => { const line = TrevaloMap.drawn.lines[0];"
                               " const k = line.pointCount() >> 1;"
                               " const p = trevaloMap.latLngToContainerPoint(line.pointAt(k));"
                               " return [k, p.x, p.y]; })()"))
          .toList();
  ASSERT_EQ(vertex.size(), 3);
  Click(window, QPoint(qRound(vertex[1].toDouble()), qRound(vertex[2].toDouble())));
  ASSERT_TRUE(WaitFor([&] {
    return RunScript(View(window), QStringLiteral("(document.querySelector('.trevalo-place-track')"
                                                  " || {}).textContent || ''"))
        .toString()
        .contains(QStringLiteral(" m)"));
  })) << RunScript(View(window),
                   QStringLiteral("JSON.stringify([(document.querySelector('.leaflet-popup-content'"
                                  ") || {}).innerHTML, TrevaloMap.drawn.lines.length, "
                                  "TrevaloMap.drawn.lines[0].trevaloLine])"))
             .toString()
             .toStdString()
      << " " << vertex[1].toDouble() << "," << vertex[2].toDouble();
  ASSERT_TRUE(ClickWhenShown(window, QStringLiteral(".trevalo-place-track")));
  const std::optional<TrackPoint> point =
      DrawnLinePoint(page->library(), log, static_cast<std::size_t>(vertex[0].toInt()));
  ASSERT_TRUE(point);
  Coordinate expected(*point);
  expected.Convert(0, 0);
  ASSERT_TRUE(WaitFor([&] { return Row(window, first).placed->altitude.has_value(); }));
  EXPECT_NEAR(Row(window, first).placed->latitude, expected.latitudeDegrees, 1e-9);
  EXPECT_DOUBLE_EQ(*Row(window, second).placed->altitude, expected.altitudeMetres);
  // What the user sees: the two placed photos' group on the track, the list's marks.
  QDir().mkpath(test::BinaryFolder() + QStringLiteral("/../test-output"));
  window.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/placed-on-map.png"));

  // A placed marker dragged elsewhere: that photo moves (its altitude goes), not the other.
  // The two at one spot are one group: spread, as a click on the group spreads it.
  RunScript(View(window), QStringLiteral("(() => { const m = TrevaloMap.drawn.photos.find("
                                         "p => p.trevaloPlaced); TrevaloMap.cluster()"
                                         ".getVisibleParent(m).spiderfy(); return true; })()"));
  // Where the spread marker comes to rest.
  const std::optional<QPoint> marker = RestingCentreOf(window, QStringLiteral(".trevalo-placed"));
  ASSERT_TRUE(marker);
  // A drag starts where the mouse has gone far enough to be one (its first step here), and
  // the marker then follows it: the marker ends 72, 54 pixels off.
  const QVariantList droppedAt = MapAt(window, *marker + QPoint(72, 54));
  // The mouse as the page sees it: pressed on the marker, moved a frame at a time, let go.
  RunScript(
      View(window),
      QStringLiteral("(() => { const icon = document.querySelector('.trevalo-placed');"
                     " const r = icon.getBoundingClientRect();"
                     " const x = r.left + r.width / 2, y = r.top + r.height / 2;"
                     " window.SendMouse = (type, dx, dy) => icon.dispatchEvent("
                     "     new MouseEvent(type, {bubbles: true, cancelable: true, view: window,"
                     "         clientX: x + dx, clientY: y + dy, button: 0, buttons: 1}));"
                     " SendMouse('mousedown', 0, 0); return true; })()"));
  // The page moves the marker in its next frame: the last place is given twice, as a
  // resting hand gives it.
  for (int step = 1; step <= 11; ++step) {
    RunScript(View(window), QStringLiteral("SendMouse('mousemove', %1, %2)")
                                .arg(8 * std::min(step, 10))
                                .arg(6 * std::min(step, 10)));
    test::Wait([](auto done) { QTimer::singleShot(30, done); });
  }
  RunScript(View(window), QStringLiteral("SendMouse('mouseup', 80, 60)"));
  ASSERT_TRUE(WaitFor([&] {
    return !Row(window, first).placed->altitude || !Row(window, second).placed->altitude;
  }));
  const bool firstMoved = !Row(window, first).placed->altitude;
  const QString moved = firstMoved ? first : second;
  const QString stayed = firstMoved ? second : first;
  EXPECT_NEAR(Row(window, moved).placed->latitude, droppedAt[0].toDouble(), 1e-4);
  EXPECT_NEAR(Row(window, moved).placed->longitude, droppedAt[1].toDouble(), 1e-4);
  EXPECT_TRUE(Row(window, stayed).placed->altitude.has_value());
  window.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/placed-photo.png"));

  // The matched photo's position cleared from its popup; undo and redo by their keys.
  RunScript(View(window),
            QStringLiteral("(() => { const m = TrevaloMap.drawn.photos.find(p => !p.trevaloPlaced);"
                           " TrevaloMap.cluster().zoomToShowLayer(m, () => m.openPopup());"
                           " return true; })()"));
  ASSERT_TRUE(ClickWhenShown(window, QStringLiteral(".trevalo-clear")));
  ASSERT_TRUE(WaitFor([&] { return Row(window, matched).cleared; }));
  EXPECT_FALSE(Row(window, matched).matched);
  EXPECT_TRUE(Row(window, matched).latitudeText.isEmpty());
  EXPECT_TRUE(WaitFor([&] {
    return RunScript(View(window), QStringLiteral("TrevaloMap.drawn.photos.length")).toInt() == 2;
  }));
  QWidget* surface = View(window)->focusProxy();
  QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier);
  ASSERT_TRUE(WaitFor([&] { return Row(window, matched).matched; }));
  EXPECT_TRUE(WaitFor([&] {
    return RunScript(View(window), QStringLiteral("TrevaloMap.drawn.photos.length")).toInt() == 3;
  }));
  QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(WaitFor([&] { return Row(window, matched).cleared; }));
  // Undo on the photo page as well: the drag goes back.
  window.SelectTab(MainWindow::kPhotoTab);
  const PlacedPosition beforeDrag = *Row(window, stayed).placed;
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);  // the clearing
  QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);  // the drag
  EXPECT_EQ(*Row(window, moved).placed, beforeDrag);
  EXPECT_TRUE(Row(window, matched).matched);

  // A photo dragged from the list and dropped on the map is placed there; undone again.
  Select(window, {second});
  window.SelectTab(MainWindow::kMapTab);
  QMimeData photosData;
  photosData.setData(QLatin1String(kPhotoDragType), "1");
  const QPoint dropAt(300, 200);
  const QVariantList dropLatLng = MapAt(window, dropAt);
  QDragEnterEvent enter(dropAt, Qt::CopyAction, &photosData, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(surface, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(dropAt), Qt::CopyAction, &photosData, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(surface, &drop);
  ASSERT_TRUE(WaitFor([&] { return !Row(window, second).placed->altitude; }));
  EXPECT_NEAR(Row(window, second).placed->latitude, dropLatLng[0].toDouble(), 1e-9);
  EXPECT_EQ(Row(window, first).placed, beforeDrag);  // only the selected photo
  QTest::keyClick(surface, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(*Row(window, second).placed, beforeDrag);

  // Save: the placed photos are written where they were placed (the RAW photo through its
  // sidecar), the matched one with its log's point. The summary's Undo takes back what the
  // save changed beside the photos, and those photos come back to the list as they were.
  const QString out = home_.filePath(QStringLiteral("out"));
  QDir().mkpath(out);
  const QByteArray raw = test::ReadFile(first);
  const QString sidecar = first + QStringLiteral(".xmp");
  bool offered = false;
  test::OnNextModal([&](QWidget* modal) {
    auto* dialog = qobject_cast<SaveDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->SetSaveFolder(out);
    test::AnswerWhenShown<QMessageBox>(dialog, [&](QMessageBox* box) {
      const auto placedAt = [](const QString& file) {
        return QJsonDocument::fromJson(
                   test::Run(QStringLiteral("exiftool"),
                             {QStringLiteral("-j"), QStringLiteral("-n"), file}))
            .array()
            .at(0)
            .toObject();
      };
      for (const QString& file : {sidecar, QDir(out).filePath(QStringLiteral("june2.jpg"))}) {
        const QJsonObject tags = placedAt(file);
        EXPECT_NEAR(tags[QStringLiteral("GPSLatitude")].toDouble(), expected.latitudeDegrees,
                    0.5e-3 / 3600)
            << file.toStdString();
        EXPECT_NEAR(tags[QStringLiteral("GPSAltitude")].toDouble(), expected.altitudeMetres, 0.05);
      }
      EXPECT_TRUE(placedAt(QDir(out).filePath(QStringLiteral("walk.jpg")))
                      .contains(QStringLiteral("GPSTimeStamp")));  // a fix of the log
      auto* undo = box->findChild<QPushButton*>(QStringLiteral("undoButton"));
      ASSERT_NE(undo, nullptr);
      offered = true;
      test::AnswerWhenShown<QMessageBox>(dialog, [](QMessageBox* done) { done->accept(); });
      undo->click();
    });
    dialog->Save();
  });
  page->SavePhotos();
  EXPECT_TRUE(offered);
  EXPECT_FALSE(QFileInfo::exists(sidecar));
  EXPECT_EQ(test::ReadFile(first), raw);
  // The RAW photo, whose sidecar went, is back in the list where it was placed; the JPEGs'
  // copies stay written, so those photos are done.
  ASSERT_EQ(page->photos().size(), 1U);
  EXPECT_EQ(Row(window, first).placed->altitude, expected.altitudeMetres);
  EXPECT_TRUE(QFileInfo::exists(QDir(out).filePath(QStringLiteral("june2.jpg"))));
  // A place cleared gives the photo back to the logs: none covers it.
  page->ClearPosition(first);
  EXPECT_FALSE(Row(window, first).placed || Row(window, first).cleared ||
               Row(window, first).matched);
}

}  // namespace
}  // namespace trevalo
