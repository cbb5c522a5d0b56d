// The map pages in the browser engine the program shows them with: they read the marker
// files the map commands write and draw them with the map library, offline (without tiles).

#include <gtest/gtest.h>

#include <tuple>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "library/log_library.h"
#include "map/map_page.h"
#include "map/marker_writer.h"
#include "map/show_tracks.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "support/web_script.h"
#include "tagging/photo_preview.h"
#include "track/calendar_time.h"
#include "widgets/page_scheme.h"

namespace trevalo {
namespace {

constexpr char kLeaflet[] = "/usr/share/javascript/leaflet/leaflet.js";

using test::RunScript;
using test::Wait;
using test::WaitFor;

// What the page drew: [the lines drawn (on the lines' canvas), the lap and waypoint marks
// (vector shapes above the lines), the first line's colour, its height on screen, and the
// colour the canvas shows at the middle point it draws of that line].
QVariantList DrawnShapes(QWebEngineView* view) {
  return RunScript(
             view,
             QStringLiteral(
                 "(() => { const drawn = TrevaloMap.drawn, map = trevaloMap;"
                 " const marks = document.querySelectorAll('.leaflet-marks-pane path').length;"
                 " const line = drawn.lines[0];"
                 " if (!line) return [0, marks, '', 0, ''];"
                 " const bounds = line.getBounds();"
                 " const height = map.latLngToContainerPoint(bounds.getSouthWest()).y -"
                 "     map.latLngToContainerPoint(bounds.getNorthEast()).y;"
                 " const shown = line.levelPoints(map.getZoom());"
                 " return [drawn.lines.length, marks, line.options.color, height,"
                 "         CanvasColourAt(line.pointAt(shown[shown.length >> 1]))]; })()"))
      .toList();
}

// Defines CanvasColourAt(latLng) in the page: '#rrggbb' of the lines' canvas at a place of
// the map, '' where nothing is drawn.
void DefineCanvasColourAt(QWebEngineView* view) {
  RunScript(view,
            QStringLiteral("window.CanvasColourAt = (at) => {"
                           " const canvas = document.querySelector('.leaflet-overlay-pane canvas');"
                           " const box = canvas.getBoundingClientRect();"
                           " const map = trevaloMap.getContainer().getBoundingClientRect();"
                           " const p = trevaloMap.latLngToContainerPoint(at);"
                           " const scale = canvas.width / box.width;"
                           " const pixel = canvas.getContext('2d').getImageData("
                           "     Math.round((p.x + map.left - box.left) * scale),"
                           "     Math.round((p.y + map.top - box.top) * scale), 1, 1).data;"
                           " if (pixel[3] === 0) return '';"
                           " return '#' + [pixel[0], pixel[1], pixel[2]].map("
                           "     v => v.toString(16).padStart(2, '0')).join(''); }; true"));
}

// Waits until the page says it has drawn its marker file.
bool WaitUntilDrawn(QWebEngineView* view) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (RunScript(view, QStringLiteral("document.body && document.body.getAttribute('data-state')"))
            .toString() == u"drawn") {
      DefineCanvasColourAt(view);
      return true;
    }
    Wait([](auto done) { QTimer::singleShot(100, done); });
  }
  ADD_FAILURE() << RunScript(view, QStringLiteral("JSON.stringify([location.href, typeof L, "
                                                  "typeof TrevaloMap, document.title, "
                                                  "document.body ? document.body.outerHTML : ''])"))
                       .toString()
                       .toStdString();
  return false;
}

// The topmost element at the centre of the first vector shape with this fill colour:
// [its fill colour, the class of its pane].
QStringList TopmostAtShape(QWebEngineView* view, const QString& fill) {
  return RunScript(view,
                   QStringLiteral("(() => {"
                                  " const shape = document.querySelector(\"path[fill='%1']\");"
                                  " if (!shape) return ['none', ''];"
                                  " const box = shape.getBoundingClientRect();"
                                  " const top = document.elementFromPoint("
                                  "     box.left + box.width / 2, box.top + box.height / 2);"
                                  " return [top.getAttribute('fill') || top.tagName,"
                                  "         top.closest('.leaflet-pane').className]; })()")
                       .arg(fill))
      .toStringList();
}

// What the page says of itself in an attribute of its body, once it says `value` or after
// ten seconds.
QString WaitForBodyAttribute(QWebEngineView* view, const QString& name, const QString& value) {
  QString said;
  for (int attempt = 0; attempt < 100; ++attempt) {
    said = RunScript(view,
                     QStringLiteral("document.body && document.body.getAttribute('%1')").arg(name))
               .toString();
    if (said == value) {
      break;
    }
    Wait([](auto done) { QTimer::singleShot(100, done); });
  }
  return said;
}

// A tile server on this computer: every request gets the same plain tile, and its request
// line is kept.
class TileServer : public QObject {
 public:
  TileServer() {
    QImage tile(256, 256, QImage::Format_RGB32);
    tile.fill(QColor(205, 230, 205));
    QBuffer buffer(&png_);
    buffer.open(QIODevice::WriteOnly);
    tile.save(&buffer, "PNG");
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Answer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  const QStringList& requests() const { return requests_; }

 private:
  void Answer(QTcpSocket* socket) {
    QByteArray& pending = pending_[socket];
    pending += socket->readAll();
    if (!pending.contains("\r\n\r\n")) {
      return;
    }
    requests_ << QString::fromLatin1(pending.left(pending.indexOf("\r\n")));
    pending_.remove(socket);
    socket->write(
        "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n"
        "Access-Control-Allow-Origin: *\r\nContent-Length: " +
        QByteArray::number(png_.size()) + "\r\n\r\n" + png_);
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  QByteArray png_;
  QHash<QTcpSocket*, QByteArray> pending_;
  QStringList requests_;
};

class MapView : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFileInfo::exists(QLatin1String(kLeaflet))) {
      GTEST_SKIP() << "the map library (libjs-leaflet) is not installed";
    }
    AppFolders folders = AppFolders::InHome(dir_.path());
    folders.dataFolder = test::BinaryFolder();  // holds web/ beside the programs
    folders.cacheFolder = dir_.filePath(QStringLiteral("cache"));
    QDir().mkpath(folders.cacheFolder);
    settings_ = std::make_unique<Settings>(folders);
    settings_->WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
    texts_ = LanguageTexts::LoadFile(test::SourceFolder() +
                                     QStringLiteral("/resources/Lang/LANG_ENG.INI"));
    InstallPageScheme(QWebEngineProfile::defaultProfile(), ProgramPageFolders(folders),
                      [](const QString& path) { return PhotoPreviewJpeg(path); });
  }

  // The tracks of one log (`bytes` written to `name`, drawn in colour `colour`) written as
  // the log manager's Show Tracks writes them.
  MapRequest TracksOf(const QString& name, const std::string& bytes, int colour) {
    const QString log = dir_.filePath(name);
    test::WriteFile(log, bytes);
    LogLibrary library = LogLibrary::InMemory({{log, colour, 1, {}, 0}}, 0);
    return ShowLogsOnMap(library, {0}, settings_->folders().cacheFolder, PositionCorrection{});
  }

  QTemporaryDir dir_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(MapView, PageAddressesCarryEncodedParameters) {
  const QUrl address = MapPage::PageAddress(QStringLiteral("MapViewXmlImg.trh"), 37.5, 127.0,
                                            QStringLiteral("/photos/a?b#c%.jpg"), true);
  EXPECT_EQ(address.toString().toStdString(),
            "trevalo://pages/MapViewXmlImg.trh?37.500000?127.000000?%2Fphotos%2Fa%3Fb%23c%25.jpg?"
            "a%3Fb%23c%25.jpg");
  EXPECT_EQ(MapPage::PageAddress(QStringLiteral("MapViewXmlTracks.trh"), -33.9, 151.2, {}, false)
                .query()
                .toStdString(),
            "-33.900000?151.200000");
}

TEST_F(MapView, TheTracksPageDrawsTheLogsLapsAndWaypoints) {
  const MapRequest request = TracksOf(QStringLiteral("ride.log"),
                                      test::GenerateLog({.epochs = 600,
                                                         .northMetresPerEpoch = 6.0,
                                                         .lapEpochs = {0, 200, 400, 599},
                                                         .waypointEpochs = {100, 300}}),
                                      5);
  ASSERT_TRUE(request.show);
  ASSERT_TRUE(request.problems.isEmpty()) << request.problems.join(u'\n').toStdString();

  MapPage page(*settings_, texts_);
  page.resize(900, 600);
  page.show();
  page.Show(request);
  EXPECT_TRUE(page.currentAddress().path().endsWith(QStringLiteral("MapViewXmlTracks.trh")));
  ASSERT_TRUE(WaitUntilDrawn(page.view()));

  // One line on the lines' canvas, in its colour; four lap marks and two waypoints as
  // vector shapes above it.
  const QVariantList drawn = DrawnShapes(page.view());
  ASSERT_EQ(drawn.size(), 5);
  EXPECT_EQ(drawn[0].toInt(), 1);
  EXPECT_EQ(drawn[1].toInt(), 4 + 2);
  EXPECT_GT(drawn[3].toDouble(), 100) << "the map is fitted to the track";
  EXPECT_EQ(drawn[4].toString(), QStringLiteral("#00ff00"));
  EXPECT_EQ(drawn[2].toString(), QStringLiteral("#00ff00"));  // colour index 5

  Wait([](auto done) { QTimer::singleShot(500, done); });
  const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/map.png");
  QDir().mkpath(QFileInfo(shot).absolutePath());
  page.grab().save(shot);
}

TEST_F(MapView, AGpxTrackIsDrawnWithItsSegmentsAndWaypoints) {
  const MapRequest request = TracksOf(
      QStringLiteral("walk.gpx"),
      test::GenerateGpx({.epochs = 600, .northMetresPerEpoch = 6.0, .waypointEpochs = {100, 300}},
                        11, 3),
      2);
  ASSERT_TRUE(request.show);
  ASSERT_TRUE(request.problems.isEmpty()) << request.problems.join(u'\n').toStdString();

  MapPage page(*settings_, texts_);
  page.resize(900, 600);
  page.show();
  page.Show(request);
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  // One line, the starts of the second and third segments as laps, and two waypoints.
  const QVariantList drawn = DrawnShapes(page.view());
  ASSERT_EQ(drawn.size(), 5);
  EXPECT_EQ(drawn[0].toInt(), 1);
  EXPECT_EQ(drawn[1].toInt(), 2 + 2);
  EXPECT_EQ(drawn[4].toString(), drawn[2].toString()) << "the line is drawn in its colour";

  Wait([](auto done) { QTimer::singleShot(500, done); });
  const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/map-gpx.png");
  QDir().mkpath(QFileInfo(shot).absolutePath());
  page.grab().save(shot);
}

TEST_F(MapView, ThePhotoPageOpensOnThePhotoItWasAskedFor) {
  test::WriteFile(settings_->folders().cacheFolder + QStringLiteral("/TRXMLIMG.xml"),
                  "<markers>\n\t<marker lat='37.500000' lng='127.000000' html='/p/a&amp;b.jpg' "
                  "label = 'a&amp;b.jpg'/>\n</markers>");
  MapPage page(*settings_, texts_);
  page.resize(700, 500);
  page.show();
  page.ShowPhotoPage(37.5, 127.0, QStringLiteral("/p/a&b.jpg"));
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  const QVariantList state =
      RunScript(
          page.view(),
          QStringLiteral("[TrevaloMap.parameters().photoPath,"
                         " document.querySelector('.leaflet-popup-content') ?"
                         " document.querySelector('.leaflet-popup-content').textContent : '']"))
          .toList();
  ASSERT_EQ(state.size(), 2);
  EXPECT_EQ(state[0].toString(), QStringLiteral("/p/a&b.jpg"));
  EXPECT_TRUE(state[1].toString().contains(QStringLiteral("a&b.jpg")))
      << state[1].toString().toStdString();
}

TEST_F(MapView, TheMapOpensWhereTheLanguageFileSays) {
  // The Korean file names Seoul, not the place the program falls back to.
  const LanguageTexts korean = LanguageTexts::LoadFile(
      test::SourceFolder() + QStringLiteral("/resources/Lang/LANG_KOR.INI"));
  MapPage seoul(*settings_, korean);
  EXPECT_EQ(seoul.defaultLatitude(), 37.566535);
  EXPECT_EQ(seoul.defaultLongitude(), 126.977969);
  EXPECT_TRUE(seoul.currentAddress().query().startsWith(QStringLiteral("37.566535?126.977969?")))
      << seoul.currentAddress().toString().toStdString();
  // A text that is 0 or no number leaves the program's own place.
  const QString file = dir_.filePath(QStringLiteral("LANG_TEST.INI"));
  test::WriteFile(file,
                  "[LANGUAGE]\nMAP_FILE=MapView.trh\nMAP_DEFAULT_LAT=0\n"
                  "MAP_DEFAULT_LONG=east\n");
  MapPage fallback(*settings_, LanguageTexts::LoadFile(file));
  EXPECT_EQ(fallback.defaultLatitude(), 35.624931);
  EXPECT_EQ(fallback.defaultLongitude(), 139.571926);
}

TEST_F(MapView, EveryClickOfTheAboutLinkIsSeenAndTheLinkLeadsNowhere) {
  MapPage page(*settings_, texts_);
  page.resize(700, 500);
  page.show();
  int abouts = 0;
  QObject::connect(&page, &MapPage::aboutRequested, [&] { ++abouts; });
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  // A page's own link to the program's About window; a mark that a reload would lose.
  RunScript(page.view(),
            QStringLiteral("window.kept = 'yes'; const link = document.createElement('a');"
                           " link.id = 'about'; link.href = '#CMD_ABOUT_BOX';"
                           " link.textContent = 'About'; document.body.appendChild(link); true"));
  for (int click = 1; click <= 2; ++click) {
    RunScript(page.view(), QStringLiteral("document.getElementById('about').click(); true"));
    EXPECT_TRUE(WaitFor([&] { return abouts == click; })) << "click " << click;
    // The navigation is taken back: the page stays where it was, without the fragment.
    EXPECT_TRUE(WaitFor([&] { return !page.view()->url().hasFragment(); }))
        << page.view()->url().toString().toStdString();
    EXPECT_EQ(RunScript(page.view(), QStringLiteral("location.hash")).toString(), QString());
  }
  EXPECT_EQ(abouts, 2);
  EXPECT_EQ(RunScript(page.view(), QStringLiteral("window.kept")).toString(),
            QStringLiteral("yes"));
  EXPECT_EQ(page.view()->url().query(), page.currentAddress().query());
}

TEST_F(MapView, PhotosStayAboveTheTracksAndTheirPathsWrapInTheirBubble) {
  // A photo on the track, with a long path that has no space to break at.
  const QString folders = QStringLiteral("/photos/") + QString(12, u'x').append(u'/').repeated(12);
  const QString photo = folders + QStringLiteral("IMG_0001.JPG");
  test::WriteFile(
      settings_->folders().cacheFolder + QStringLiteral("/TRXML.xml"),
      ("<markers>\n\t<marker lat='37.500000' lng='127.000000' html='" + photo.toStdString() +
       "' label = 'IMG_0001.JPG'/>\n"
       "\t<line colour='#17eeee' width='8'>\n"
       "\t\t<point lat='37.490000' lng='126.990000' />\n"
       "\t\t<point lat='37.510000' lng='127.010000' />\n"
       "\t</line>\n</markers>"));
  MapPage page(*settings_, texts_);
  page.resize(800, 600);
  page.show();
  page.ShowPhotoTracksPage(37.5, 127.0, photo);
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  // The line is drawn after the photo, yet the photo is what shows (and takes the click)
  // where both are.
  const QStringList top = TopmostAtShape(page.view(), QStringLiteral("#e4572e"));
  ASSERT_EQ(top.size(), 2);
  EXPECT_EQ(top[0], QStringLiteral("#e4572e")) << top.join(u' ').toStdString();
  // The popup opened on the photo holds its whole path inside the bubble.
  const QVariantList bubble =
      RunScript(
          page.view(),
          QStringLiteral("(() => { const content = document.querySelector("
                         "'.leaflet-popup-content-wrapper');"
                         " if (!content) return [];"
                         " const outer = content.getBoundingClientRect();"
                         " const path = content.querySelector('.trevalo-path')"
                         "     .getBoundingClientRect();"
                         " return [outer.left, outer.right, path.left, path.right,"
                         "         content.querySelector('.trevalo-path').textContent]; })()"))
          .toList();
  ASSERT_EQ(bubble.size(), 5);
  EXPECT_EQ(bubble[4].toString(), photo);
  EXPECT_GE(bubble[2].toDouble(), bubble[0].toDouble());
  EXPECT_LE(bubble[3].toDouble(), bubble[1].toDouble())
      << "the path runs out of its bubble: " << bubble[3].toDouble() << " > "
      << bubble[1].toDouble();

  Wait([](auto done) { QTimer::singleShot(500, done); });
  const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/map-photo.png");
  QDir().mkpath(QFileInfo(shot).absolutePath());
  page.grab().save(shot);
}

TEST_F(MapView, PopupsSpeakTheLanguageOfTheLanguageFile) {
  const MapRequest request =
      TracksOf(QStringLiteral("ride.log"),
               test::GenerateLog({.epochs = 300, .northMetresPerEpoch = 6.0}), 5);
  ASSERT_TRUE(request.show);
  const QString openLinePopup = QStringLiteral(
      "(() => { const line = TrevaloMap.drawn.lines[0], map = trevaloMap;"
      " const shown = line.levelPoints(map.getZoom());"
      " const p = map.latLngToContainerPoint(line.pointAt(shown[shown.length >> 1]));"
      " const box = map.getContainer().getBoundingClientRect();"
      " const x = box.left + p.x, y = box.top + p.y;"
      " const canvas = document.elementFromPoint(x, y);"
      " if (canvas.tagName !== 'CANVAS') return 'the line is covered by ' + canvas.tagName;"
      " canvas.dispatchEvent(new MouseEvent('click', {bubbles: true, clientX: x, clientY: y}));"
      " const popup = document.querySelector('.leaflet-popup-content');"
      " return popup ? popup.textContent : 'no popup'; })()");

  for (const auto& [file, distance, speed] : {std::tuple{"LANG_KOR.INI", "거리", "속도"},
                                              std::tuple{"LANG_ENG.INI", "Distance", "Speed"}}) {
    const LanguageTexts texts = LanguageTexts::LoadFile(
        test::SourceFolder() + QStringLiteral("/resources/Lang/") + QLatin1String(file));
    MapPage page(*settings_, texts);
    page.resize(900, 600);
    page.show();
    page.Show(request);
    ASSERT_TRUE(WaitUntilDrawn(page.view()));
    const QString popup = RunScript(page.view(), openLinePopup).toString();
    EXPECT_TRUE(popup.contains(QString::fromUtf8(distance))) << file << ": " << popup.toStdString();
    EXPECT_TRUE(popup.contains(QString::fromUtf8(speed))) << file << ": " << popup.toStdString();
  }
}

TEST_F(MapView, WithoutTilesTheMapSaysTheBackgroundNeedsANetworkAndStillDraws) {
  // Nothing listens on port 9 here: every tile fails at once, as without a network.
  settings_->WriteSetting(setting::kMapTileServer,
                          QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png"));
  const MapRequest request = TracksOf(
      QStringLiteral("ride.log"), test::GenerateLog({.epochs = 60, .northMetresPerEpoch = 6.0}), 5);
  MapPage page(*settings_, texts_);
  page.resize(800, 600);
  page.show();
  page.Show(request);
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  EXPECT_EQ(
      WaitForBodyAttribute(page.view(), QStringLiteral("data-tiles"), QStringLiteral("failed")),
      QStringLiteral("failed"));
  EXPECT_EQ(
      RunScript(page.view(),
                QStringLiteral("document.querySelector('.trevalo-no-tiles-text').textContent"))
          .toString(),
      texts_.Text(QStringLiteral("MAP_LABEL_NOTILES")));
  const QVariantList drawn = DrawnShapes(page.view());
  ASSERT_EQ(drawn.size(), 5);
  EXPECT_EQ(drawn[0].toInt(), 1) << "the track is drawn all the same";
  EXPECT_EQ(drawn[4].toString(), drawn[2].toString());
  Wait([](auto done) { QTimer::singleShot(500, done); });
  page.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/map-no-tiles.png"));
  // The note closes, and does not come back when more tiles fail.
  RunScript(page.view(),
            QStringLiteral("document.querySelector('.trevalo-no-tiles-close').click()"));
  RunScript(page.view(), QStringLiteral("window.trevaloMap && window.trevaloMap.zoomIn()"));
  Wait([](auto done) { QTimer::singleShot(500, done); });
  EXPECT_FALSE(
      RunScript(page.view(), QStringLiteral("document.querySelector('.trevalo-no-tiles') !== null"))
          .toBool());
}

TEST_F(MapView, TheBackgroundComesFromTheTileServerTheSettingsName) {
  TileServer server;
  ASSERT_NE(server.port(), 0);
  settings_->WriteSetting(
      setting::kMapTileServer,
      QStringLiteral("http://127.0.0.1:%1/tiles/{z}/{x}/{y}.png").arg(server.port()));
  MapPage page(*settings_, texts_);
  page.resize(800, 600);
  page.show();
  page.ShowTracksPage(37.5, 127.0);
  EXPECT_EQ(
      WaitForBodyAttribute(page.view(), QStringLiteral("data-tiles"), QStringLiteral("loaded")),
      QStringLiteral("loaded"));
  ASSERT_FALSE(server.requests().isEmpty());
  const QRegularExpression tile(QStringLiteral("^GET /tiles/13/\\d+/\\d+\\.png HTTP/1\\.1$"));
  for (const QString& line : server.requests()) {
    EXPECT_TRUE(tile.match(line).hasMatch()) << line.toStdString();
  }
  EXPECT_EQ(RunScript(page.view(), QStringLiteral("document.querySelectorAll('.trevalo-no-tiles')"
                                                  ".length"))
                .toInt(),
            0);
  EXPECT_TRUE(
      RunScript(page.view(), QStringLiteral("document.querySelector('.leaflet-control-attribution')"
                                            ".textContent"))
          .toString()
          .contains(QStringLiteral("Tiles: 127.0.0.1")));

  // The next page takes a changed setting: tiles kept on this computer, then none.
  QImage white(256, 256, QImage::Format_RGB32);
  white.fill(Qt::white);
  ASSERT_TRUE(white.save(dir_.filePath(QStringLiteral("tile.png"))));
  settings_->WriteSetting(
      setting::kMapTileServer,
      QUrl::fromLocalFile(dir_.filePath(QStringLiteral("tile.png"))).toString() +
          QStringLiteral("?{z}/{x}/{y}"));
  page.ShowTracksPage(37.5, 127.0);
  EXPECT_EQ(
      WaitForBodyAttribute(page.view(), QStringLiteral("data-tiles"), QStringLiteral("loaded")),
      QStringLiteral("loaded"));
  settings_->WriteSetting(setting::kMapTileServer,
                          QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png"));
  page.ShowTracksPage(37.5, 127.0);
  EXPECT_EQ(
      WaitForBodyAttribute(page.view(), QStringLiteral("data-tiles"), QStringLiteral("failed")),
      QStringLiteral("failed"));
}

TEST_F(MapView, APhotosPopupShowsASmallPreviewOfIt) {
  const QString data = test::TestDataFolder();
  if (data.isEmpty()) {
    GTEST_SKIP() << "no shared test data";
  }
  const QString photo = data + QStringLiteral("/jpeg/ianare_gps_DSCN0010.jpg");  // 640 x 480
  const QString notAPhoto = dir_.filePath(QStringLiteral("notes.jpg"));
  test::WriteFile(notAPhoto, "a text, named like a photo");
  const auto showPopupOf = [&](MapPage& page, const QString& path) {
    test::WriteFile(settings_->folders().cacheFolder + QStringLiteral("/TRXMLIMG.xml"),
                    "<markers>\n\t<marker lat='37.500000' lng='127.000000' html='" +
                        path.toStdString() + "' label = 'photo'/>\n</markers>");
    // The page shown before says "drawn" until the new one replaces it.
    RunScript(page.view(), QStringLiteral("document.body && document.body.removeAttribute("
                                          "'data-state')"));
    page.ShowPhotoPage(37.5, 127.0, path);
    EXPECT_TRUE(WaitUntilDrawn(page.view()));
    QVariantList preview;
    for (int attempt = 0; attempt < 100; ++attempt) {
      preview =
          RunScript(page.view(),
                    QStringLiteral("(() => { const img = document.querySelector("
                                   "'.leaflet-popup .trevalo-preview');"
                                   " if (!img) return [];"
                                   " return [img.getAttribute('data-state'), img.naturalWidth,"
                                   "   img.naturalHeight, getComputedStyle(img).display,"
                                   "   document.querySelector('.leaflet-popup-content')"
                                   "       .getBoundingClientRect().width]; })()"))
              .toList();
      if (preview.size() == 5 && !preview[0].toString().isEmpty()) {
        break;
      }
      Wait([](auto done) { QTimer::singleShot(100, done); });
    }
    return preview;
  };
  MapPage page(*settings_, texts_);
  page.resize(800, 600);
  page.show();
  const QVariantList shown = showPopupOf(page, photo);
  ASSERT_EQ(shown.size(), 5);
  EXPECT_EQ(shown[0].toString(), QStringLiteral("loaded"));
  EXPECT_EQ(shown[1].toInt(), 160);
  EXPECT_EQ(shown[2].toInt(), 120);
  EXPECT_GE(shown[4].toDouble(), 160) << "the popup is fitted to its preview";
  Wait([](auto done) { QTimer::singleShot(300, done); });
  page.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/map-preview.png"));

  const QVariantList none = showPopupOf(page, notAPhoto);
  ASSERT_EQ(none.size(), 5);
  EXPECT_EQ(none[0].toString(), QStringLiteral("failed"));
  EXPECT_EQ(none[3].toString(), QStringLiteral("none"));
}

// The coordinates of the elements of a marker file the program wrote, by element name, in
// the file's order: what the page's reading of it must give.
QMap<QString, QList<QPointF>> WrittenPositions(const QString& path) {
  QMap<QString, QList<QPointF>> positions;
  static const QRegularExpression element(
      QStringLiteral("<(\\w+)[^>]* lat='([-0-9.]+)' lng='([-0-9.]+)'"));
  for (auto match = element.globalMatch(QString::fromUtf8(test::ReadFile(path)));
       match.hasNext();) {
    const QRegularExpressionMatch found = match.next();
    positions[found.captured(1)] << QPointF(found.captured(2).toDouble(),
                                            found.captured(3).toDouble());
  }
  return positions;
}

TEST_F(MapView, ALongTrackIsDrawnWhole) {
  constexpr int kPoints = 100'000;
  const MapRequest request = TracksOf(QStringLiteral("day.log"),
                                      test::GenerateLog({.epochs = kPoints,
                                                         .northMetresPerEpoch = 1.5,
                                                         .eastMetresPerEpoch = -0.8,
                                                         .climbPerEpoch = 0.001,
                                                         .deviceSentences = false,
                                                         .lapEpochs = {0, 50'000, kPoints - 1},
                                                         .waypointEpochs = {25'000}}),
                                      3);
  ASSERT_TRUE(request.problems.isEmpty()) << request.problems.join(u'\n').toStdString();
  const QMap<QString, QList<QPointF>> written =
      WrittenPositions(settings_->folders().cacheFolder + QStringLiteral("/TRXMLONLYTRACKS.xml"));
  ASSERT_EQ(written.value(QStringLiteral("point")).size(), kPoints);

  MapPage page(*settings_, texts_);
  page.resize(900, 600);
  page.show();
  page.Show(request);
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  // The line holds every point of the file; its ends are the file's ends, drawn where they
  // lie on the map, and every point lies within a pixel and a half of what is drawn (the
  // line is simplified to the screen, not cut or moved).
  const QVariantList line =
      RunScript(
          page.view(),
          QStringLiteral(
              "(() => { const map = trevaloMap, line = TrevaloMap.drawn.lines[0];"
              " const shown = line.levelPoints(map.getZoom()), count = line.pointCount();"
              " const first = line.pointAt(0), last = line.pointAt(count - 1);"
              " const at = (i) => map.latLngToContainerPoint(line.pointAt(i));"
              " let worst = 0;"
              " for (let j = 0; j + 1 < shown.length; ++j) {"
              "   const a = at(shown[j]), b = at(shown[j + 1]);"
              "   for (let i = shown[j] + 1; i < shown[j + 1]; ++i) {"
              "     const p = at(i), dx = b.x - a.x, dy = b.y - a.y;"
              "     const t = Math.max(0, Math.min(1, ((p.x - a.x) * dx + (p.y - a.y) * dy) /"
              "                                       ((dx * dx + dy * dy) || 1)));"
              "     worst = Math.max(worst, Math.hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));"
              "   }"
              " }"
              " return [count, shown.length, shown[0], shown[shown.length - 1],"
              "         first.lat, first.lng, last.lat, last.lng, worst,"
              "         map.getBounds().contains(first) && map.getBounds().contains(last),"
              "         CanvasColourAt(first), CanvasColourAt(last), line.options.color,"
              "         TrevaloMap.drawn.laps.length, TrevaloMap.drawn.waypoints.length]; })()"))
          .toList();
  ASSERT_EQ(line.size(), 15);
  EXPECT_EQ(line[0].toInt(), kPoints);
  EXPECT_LT(line[1].toInt(), kPoints / 10) << "drawn at the screen's resolution";
  EXPECT_EQ(line[2].toInt(), 0);
  EXPECT_EQ(line[3].toInt(), kPoints - 1);
  const QPointF first = written.value(QStringLiteral("point")).first();
  const QPointF last = written.value(QStringLiteral("point")).last();
  EXPECT_EQ(line[4].toDouble(), first.x());
  EXPECT_EQ(line[5].toDouble(), first.y());
  EXPECT_EQ(line[6].toDouble(), last.x());
  EXPECT_EQ(line[7].toDouble(), last.y());
  EXPECT_LE(line[8].toDouble(), 1.5) << "pixels between a point and the drawn line";
  EXPECT_TRUE(line[9].toBool()) << "the map is fitted to the whole track";
  EXPECT_EQ(line[10].toString(), line[12].toString()) << "the start is drawn";
  EXPECT_EQ(line[11].toString(), line[12].toString()) << "the end is drawn";
  EXPECT_EQ(line[13].toInt(), written.value(QStringLiteral("Lap")).size());
  EXPECT_EQ(line[14].toInt(), written.value(QStringLiteral("WayPoint")).size());

  // Closer in, more of the points are drawn, and the ends stay.
  const QVariantList closer =
      RunScript(page.view(),
                QStringLiteral("(() => { const map = trevaloMap, line = TrevaloMap.drawn.lines[0];"
                               " const before = line.levelPoints(map.getZoom()).length;"
                               " map.setZoom(map.getZoom() + 3, {animate: false});"
                               " const shown = line.levelPoints(map.getZoom());"
                               " return [before, shown.length, shown[0],"
                               "         shown[shown.length - 1]]; })()"))
          .toList();
  ASSERT_EQ(closer.size(), 4);
  EXPECT_GT(closer[1].toInt(), closer[0].toInt());
  EXPECT_EQ(closer[2].toInt(), 0);
  EXPECT_EQ(closer[3].toInt(), kPoints - 1);
}

// The page's reading of a marker file against the browser's XML parser, which the page
// used before: the same elements with the same attributes and points.
constexpr char kReadBothWays[] =
    "(text) => {"
    " const dom = new DOMParser().parseFromString(text, 'application/xml').documentElement;"
    " const named = (e) => Object.fromEntries(Array.from(e.attributes, a => [a.name, a.value]));"
    " const fromDom = Array.from(dom.children).filter("
    "     e => ['marker', 'line', 'Lap', 'WayPoint'].includes(e.tagName)).map(e => {"
    "   if (e.tagName !== 'line') return {kind: e.tagName, attributes: named(e)};"
    "   const kids = Array.from(e.children), info = kids.find(k => k.tagName === 'Info');"
    "   const points = kids.filter(k => k.tagName === 'point');"
    "   return {kind: 'line', attributes: named(e), info: info ? named(info) : null,"
    "           lat: points.map(p => parseFloat(p.getAttribute('lat'))),"
    "           lng: points.map(p => parseFloat(p.getAttribute('lng')))}; });"
    " const fromPage = TrevaloMarkers.parse(text).map(item => item.kind !== 'line' ? item :"
    "     Object.assign({}, item, {lat: Array.from(item.lat), lng: Array.from(item.lng)}));"
    " return [JSON.stringify(fromDom), JSON.stringify(fromPage)]; }";

TEST_F(MapView, ThePageReadsMarkerFilesAsTheXmlParserDoes) {
  // A file of the program: photos with names that need escaping, two logs with laps and
  // waypoints.
  const QString cache = settings_->folders().cacheFolder;
  MarkerWriter writer(cache, MarkerFile::kPhotosAndTracks);
  writer.WriteMarkersStart();
  writer.WritePhotoMarker(37.5, 127.0, QStringLiteral("/p/a&b <c> 'd' \"e\"\tf.jpg"));
  writer.WritePhotoMarker(-33.8675, 151.207, QStringLiteral("/사진/서울 1.jpg"));
  for (const auto& [name, laps] : {std::pair{"ride.log", std::vector<int>{0, 100, 299}},
                                   std::pair{"walk.log", std::vector<int>{}}}) {
    const QString log = dir_.filePath(QLatin1String(name));
    test::WriteFile(
        log, test::GenerateLog({.epochs = 300, .lapEpochs = laps, .waypointEpochs = {50, 150}}));
    LogLibrary library = LogLibrary::InMemory({{log, 4, 2, {}, 0}}, 0);
    library.AddActiveLog(0);
    QStringList problems;
    DrawLogsOnMap(writer, library, {}, UsTimeFormat(), problems);
  }
  writer.WriteMarkersEnd();
  ASSERT_TRUE(writer.Close().isEmpty());
  const QMap<QString, QList<QPointF>> written =
      WrittenPositions(cache + QStringLiteral("/TRXML.xml"));

  MapPage page(*settings_, texts_);
  page.resize(800, 600);
  page.show();
  page.ShowPhotoTracksPage(37.5, 127.0, QStringLiteral("/p/a&b <c> 'd' \"e\"\tf.jpg"));
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  const QStringList read =
      RunScript(page.view(),
                QStringLiteral("(() => { const request = new XMLHttpRequest();"
                               " request.open('GET', 'TRXML.xml', false);"
                               " request.overrideMimeType('text/plain; charset=utf-8');"
                               " request.send(); return (%1)(request.responseText); })()")
                    .arg(QLatin1String(kReadBothWays)))
          .toStringList();
  ASSERT_EQ(read.size(), 2);
  EXPECT_EQ(read[1].toStdString(), read[0].toStdString());
  EXPECT_TRUE(read[1].contains(QStringLiteral("a&b <c> 'd' \\\"e\\\" f.jpg")))
      << read[1].left(400).toStdString();
  // And what the page drew of it: as many of each as the program wrote, where it wrote them.
  const QVariantList drawn =
      RunScript(page.view(),
                QStringLiteral("(() => { const d = TrevaloMap.drawn;"
                               " const p = d.photos[1].getLatLng(), w = d.waypoints[3].getLatLng();"
                               " return [d.photos.length, d.lines.length,"
                               "   d.lines[0].pointCount() + d.lines[1].pointCount(),"
                               "   d.laps.length, d.waypoints.length, p.lat, p.lng, w.lat, w.lng,"
                               "   d.lines[1].pointAt(299).lat]; })()"))
          .toList();
  ASSERT_EQ(drawn.size(), 10);
  EXPECT_EQ(drawn[0].toInt(), written.value(QStringLiteral("marker")).size());
  EXPECT_EQ(drawn[0].toInt(), 2);
  EXPECT_EQ(drawn[1].toInt(), 2);
  EXPECT_EQ(drawn[2].toInt(), written.value(QStringLiteral("point")).size());
  EXPECT_EQ(drawn[3].toInt(), written.value(QStringLiteral("Lap")).size());
  EXPECT_EQ(drawn[4].toInt(), written.value(QStringLiteral("WayPoint")).size());
  EXPECT_EQ(drawn[4].toInt(), 4);
  EXPECT_EQ(QPointF(drawn[5].toDouble(), drawn[6].toDouble()),
            written.value(QStringLiteral("marker"))[1]);
  EXPECT_EQ(QPointF(drawn[7].toDouble(), drawn[8].toDouble()),
            written.value(QStringLiteral("WayPoint"))[3]);
  EXPECT_EQ(drawn[9].toDouble(), written.value(QStringLiteral("point"))[599].x());

  // Files written by hand: either quote, spaces around '=', comments, a declaration,
  // elements over several lines, line ends of either kind, references of every kind, and
  // what is not a number or not where it belongs.
  const QString byHand = QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- made by hand -->\r\n<markers>\r\n"
      "<marker lat=\"1.5\" lng = \"-2.25\" html=\"a&#x41;&#66;&apos;&quot;&lt;&gt;\r\nz\""
      " label='x'/>\n<line colour=\"#123456\" width=\"3\">\n<point lat='1e-3' lng=' 7'/>\n"
      "<!-- <point lat='9' lng='9'/> -->\n<point\n  lat='0.1234567890123456789'\n"
      "  lng='-0'/>\n<Info STIME='a' ETIME=\"b\"/>\n<point lat='2' lng='3'></point>\n"
      "</line>\n<Lap Type='S' index='1' lat='1' lng='2' Time='t'/>\n"
      "<WayPoint index='1' lat='3' lng='4'/>\n</markers>");
  const QStringList handRead =
      RunScript(page.view(),
                QStringLiteral("(%1)(%2)")
                    .arg(QLatin1String(kReadBothWays))
                    .arg(QString::fromUtf8(
                             QJsonDocument(QJsonArray{byHand}).toJson(QJsonDocument::Compact))
                             .mid(1)
                             .chopped(1)))
          .toStringList();
  ASSERT_EQ(handRead.size(), 2);
  EXPECT_EQ(handRead[1].toStdString(), handRead[0].toStdString());
}

TEST(PhotoPreview, IsSmallUprightAndMadeOnlyOfPhotos) {
  const QString data = test::TestDataFolder();
  if (data.isEmpty() || !test::HaveProgram(QStringLiteral("exiftool"))) {
    GTEST_SKIP() << "no shared test data or no exiftool";
  }
  QTemporaryDir dir;
  const QString turned = dir.filePath(QStringLiteral("turned.jpg"));
  ASSERT_TRUE(QFile::copy(data + QStringLiteral("/jpeg/ianare_gps_DSCN0010.jpg"), turned));
  int exitCode = -1;
  test::Run(QStringLiteral("exiftool"),
            {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
             QStringLiteral("-Orientation#=6"), turned},
            &exitCode);
  ASSERT_EQ(exitCode, 0);
  const QImage upright = QImage::fromData(PhotoPreviewJpeg(turned));
  EXPECT_EQ(upright.size(), QSize(120, 160)) << "a photo the camera held upright stands";
  // A small photo is not enlarged.
  EXPECT_EQ(QImage::fromData(PhotoPreviewJpeg(data + QStringLiteral("/jpeg/ianare_Canon_40D.jpg")))
                .size(),
            QSize(100, 68));

  const QString text = dir.filePath(QStringLiteral("passwords.jpg"));
  test::WriteFile(text, "secret: 1234\n");
  EXPECT_TRUE(PhotoPreviewJpeg(text).isEmpty());
  EXPECT_TRUE(PhotoPreviewJpeg(dir.filePath(QStringLiteral("missing.jpg"))).isEmpty());
}

}  // namespace
}  // namespace trevalo
