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
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "app/language.h"
#include "app/page_scheme.h"
#include "app/settings.h"
#include "library/log_library.h"
#include "map/map_page.h"
#include "map/show_tracks.h"
#include "support/event_wait.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_preview.h"

namespace trevalo {
namespace {

constexpr char kLeaflet[] = "/usr/share/javascript/leaflet/leaflet.js";

using test::Wait;

QVariant RunScript(QWebEngineView* view, const QString& script) {
  QVariant value;
  Wait([&](auto done) {
    view->page()->runJavaScript(script, [&, done](const QVariant& result) {
      value = result;
      done();
    });
  });
  return value;
}

// Waits until the page says it has drawn its marker file.
bool WaitUntilDrawn(QWebEngineView* view) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (RunScript(view, QStringLiteral("document.body && document.body.getAttribute('data-state')"))
            .toString() == u"drawn") {
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

// Runs the event loop until `holds()` or five seconds pass; what `holds()` says last.
template <typename Condition>
bool WaitFor(Condition&& holds) {
  for (int attempt = 0; attempt < 50 && !holds(); ++attempt) {
    Wait([](auto done) { QTimer::singleShot(100, done); });
  }
  return holds();
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

  QTemporaryDir dir_;
  std::unique_ptr<Settings> settings_;
  LanguageTexts texts_;
};

TEST_F(MapView, PageAddressesCarryEncodedParameters) {
  const QUrl address = CHtmlDlg::PageAddress(QStringLiteral("MapViewXmlImg.trh"), 37.5, 127.0,
                                             QStringLiteral("/photos/a?b#c%.jpg"), true);
  EXPECT_EQ(address.toString().toStdString(),
            "trevalo://pages/MapViewXmlImg.trh?37.500000?127.000000?%2Fphotos%2Fa%3Fb%23c%25.jpg?"
            "a%3Fb%23c%25.jpg");
  EXPECT_EQ(CHtmlDlg::PageAddress(QStringLiteral("MapViewXmlTracks.trh"), -33.9, 151.2, {}, false)
                .query()
                .toStdString(),
            "-33.900000?151.200000");
}

TEST_F(MapView, TheTracksPageDrawsTheLogsLapsAndWaypoints) {
  const QString log = dir_.filePath(QStringLiteral("ride.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 600,
                                          .northMetresPerEpoch = 6.0,
                                          .lapEpochs = {0, 200, 400, 599},
                                          .waypointEpochs = {100, 300}}));
  LogLibrary library = LogLibrary::InMemory({{log, 5, 1, {}, 0}}, 0);
  const MapRequest request =
      ShowLogsOnMap(library, {0}, settings_->folders().cacheFolder, PositionCorrection{});
  ASSERT_TRUE(request.show);
  ASSERT_TRUE(request.problems.isEmpty()) << request.problems.join(u'\n').toStdString();

  CHtmlDlg page(*settings_, texts_);
  page.resize(900, 600);
  page.show();
  page.Show(request);
  EXPECT_TRUE(page.currentAddress().path().endsWith(QStringLiteral("MapViewXmlTracks.trh")));
  ASSERT_TRUE(WaitUntilDrawn(page.view()));

  // One line, four lap marks and two waypoints, all drawn as vector shapes.
  const QVariantList drawn =
      RunScript(page.view(),
                QStringLiteral(
                    "(() => { const shapes = document.querySelectorAll("
                    "'.leaflet-overlay-pane path');"
                    " const line = shapes[0].getBBox();"
                    " return [shapes.length, line.height, shapes[0].getAttribute('stroke')]; })()"))
          .toList();
  ASSERT_EQ(drawn.size(), 3);
  EXPECT_EQ(drawn[0].toInt(), 1 + 4 + 2);
  EXPECT_GT(drawn[1].toDouble(), 100) << "the map is fitted to the track";
  EXPECT_EQ(drawn[2].toString(), QStringLiteral("#00ff00"));  // colour index 5

  Wait([](auto done) { QTimer::singleShot(500, done); });
  const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/map.png");
  QDir().mkpath(QFileInfo(shot).absolutePath());
  page.grab().save(shot);
}

TEST_F(MapView, AGpxTrackIsDrawnWithItsSegmentsAndWaypoints) {
  const QString gpx = dir_.filePath(QStringLiteral("walk.gpx"));
  test::WriteFile(
      gpx, test::GenerateGpx(
               {.epochs = 600, .northMetresPerEpoch = 6.0, .waypointEpochs = {100, 300}}, 11, 3));
  LogLibrary library = LogLibrary::InMemory({{gpx, 2, 1, {}, 0}}, 0);
  const MapRequest request =
      ShowLogsOnMap(library, {0}, settings_->folders().cacheFolder, PositionCorrection{});
  ASSERT_TRUE(request.show);
  ASSERT_TRUE(request.problems.isEmpty()) << request.problems.join(u'\n').toStdString();

  CHtmlDlg page(*settings_, texts_);
  page.resize(900, 600);
  page.show();
  page.Show(request);
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  // One line, the starts of the second and third segments as laps, and two waypoints.
  const int shapes = RunScript(page.view(), QStringLiteral("document.querySelectorAll("
                                                           "'.leaflet-overlay-pane path').length"))
                         .toInt();
  EXPECT_EQ(shapes, 1 + 2 + 2);

  Wait([](auto done) { QTimer::singleShot(500, done); });
  const QString shot = test::BinaryFolder() + QStringLiteral("/../test-output/map-gpx.png");
  QDir().mkpath(QFileInfo(shot).absolutePath());
  page.grab().save(shot);
}

TEST_F(MapView, ThePhotoPageOpensOnThePhotoItWasAskedFor) {
  test::WriteFile(settings_->folders().cacheFolder + QStringLiteral("/TRXMLIMG.xml"),
                  "<markers>\n\t<marker lat='37.500000' lng='127.000000' html='/p/a&amp;b.jpg' "
                  "label = 'a&amp;b.jpg'/>\n</markers>");
  CHtmlDlg page(*settings_, texts_);
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
  CHtmlDlg seoul(*settings_, korean);
  EXPECT_EQ(seoul.defaultLatitude(), 37.566535);
  EXPECT_EQ(seoul.defaultLongitude(), 126.977969);
  EXPECT_TRUE(seoul.currentAddress().query().startsWith(QStringLiteral("37.566535?126.977969?")))
      << seoul.currentAddress().toString().toStdString();
  // A text that is 0 or no number leaves the program's own place.
  const QString file = dir_.filePath(QStringLiteral("LANG_TEST.INI"));
  test::WriteFile(file,
                  "[LANGUAGE]\nMAP_FILE=MapView.trh\nMAP_DEFAULT_LAT=0\n"
                  "MAP_DEFAULT_LONG=east\n");
  CHtmlDlg fallback(*settings_, LanguageTexts::LoadFile(file));
  EXPECT_EQ(fallback.defaultLatitude(), 35.624931);
  EXPECT_EQ(fallback.defaultLongitude(), 139.571926);
}

TEST_F(MapView, EveryClickOfTheAboutLinkIsSeenAndTheLinkLeadsNowhere) {
  CHtmlDlg page(*settings_, texts_);
  page.resize(700, 500);
  page.show();
  int abouts = 0;
  QObject::connect(&page, &CHtmlDlg::aboutRequested, [&] { ++abouts; });
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
  CHtmlDlg page(*settings_, texts_);
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
  const QString log = dir_.filePath(QStringLiteral("ride.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 300, .northMetresPerEpoch = 6.0}));
  LogLibrary library = LogLibrary::InMemory({{log, 5, 1, {}, 0}}, 0);
  const MapRequest request =
      ShowLogsOnMap(library, {0}, settings_->folders().cacheFolder, PositionCorrection{});
  ASSERT_TRUE(request.show);
  const QString openLinePopup = QStringLiteral(
      "(() => { const line = document.querySelector('.leaflet-overlay-pane path');"
      " const box = line.getBoundingClientRect();"
      " const x = box.left + box.width / 2, y = box.top + box.height / 2;"
      " line.dispatchEvent(new MouseEvent('click', {bubbles: true, clientX: x, clientY: y}));"
      " const popup = document.querySelector('.leaflet-popup-content');"
      " return popup ? popup.textContent : 'no popup'; })()");

  for (const auto& [file, distance, speed] : {std::tuple{"LANG_KOR.INI", "거리", "속도"},
                                              std::tuple{"LANG_ENG.INI", "Distance", "Speed"}}) {
    const LanguageTexts texts = LanguageTexts::LoadFile(
        test::SourceFolder() + QStringLiteral("/resources/Lang/") + QLatin1String(file));
    CHtmlDlg page(*settings_, texts);
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
  const QString log = dir_.filePath(QStringLiteral("ride.log"));
  test::WriteFile(log, test::GenerateLog({.epochs = 60, .northMetresPerEpoch = 6.0}));
  LogLibrary library = LogLibrary::InMemory({{log, 5, 1, {}, 0}}, 0);
  const MapRequest request =
      ShowLogsOnMap(library, {0}, settings_->folders().cacheFolder, PositionCorrection{});
  CHtmlDlg page(*settings_, texts_);
  page.resize(800, 600);
  page.show();
  page.Show(request);
  ASSERT_TRUE(WaitUntilDrawn(page.view()));
  EXPECT_EQ(
      WaitForBodyAttribute(page.view(), QStringLiteral("data-tiles"), QStringLiteral("failed")),
      QStringLiteral("failed"));
  EXPECT_EQ(RunScript(page.view(),
                      QStringLiteral("document.querySelector('.trevalo-no-tiles').textContent"))
                .toString(),
            texts_.Text(QStringLiteral("MAP_LABEL_NOTILES")));
  EXPECT_EQ(RunScript(page.view(), QStringLiteral("document.querySelectorAll("
                                                  "'.leaflet-overlay-pane path').length"))
                .toInt(),
            1)
      << "the track is drawn all the same";
  Wait([](auto done) { QTimer::singleShot(500, done); });
  page.grab().save(test::BinaryFolder() + QStringLiteral("/../test-output/map-no-tiles.png"));
}

TEST_F(MapView, TheBackgroundComesFromTheTileServerTheSettingsName) {
  TileServer server;
  ASSERT_NE(server.port(), 0);
  settings_->WriteSetting(
      setting::kMapTileServer,
      QStringLiteral("http://127.0.0.1:%1/tiles/{z}/{x}/{y}.png").arg(server.port()));
  CHtmlDlg page(*settings_, texts_);
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
  const auto showPopupOf = [&](CHtmlDlg& page, const QString& path) {
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
  CHtmlDlg page(*settings_, texts_);
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
