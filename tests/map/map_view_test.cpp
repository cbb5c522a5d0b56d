// The map pages in the browser engine the program shows them with: they read the marker
// files the map commands write and draw them with the map library, offline (without tiles).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
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
    InstallPageScheme(QWebEngineProfile::defaultProfile(), ProgramPageFolders(folders));
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
  EXPECT_EQ(page.defaultLatitude(), 35.624931);
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

}  // namespace
}  // namespace trevalo
