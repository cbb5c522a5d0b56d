// Photos on the map page, in the browser engine the program shows it with (offscreen): how
// long the page takes from navigation to drawn (every photo in its group), the longest task
// of the page meanwhile and the longest time the window's thread did not answer (both must
// stay within 200 ms), and the groups drawn at the fitted zoom.
//
//   bench_photo_map [photos...]      (default: 100 1000 10000)
//
// Each size runs in a process of its own, so that every renderer starts afresh.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "map/map_page.h"
#include "map/marker_writer.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/event_wait.h"
#include "support/test_files.h"
#include "tagging/photo_preview.h"
#include "web_bench_support.h"
#include "widgets/page_scheme.h"

namespace trevalo {
namespace {

// `count` photos over a city of 20 km, as a year of walks leaves them: bunched along the
// ways, some alone.
MapRequest WritePhotos(const QString& folder, int count) {
  MarkerWriter writer(folder, MarkerFile::kPhotos);
  writer.WriteMarkersStart();
  std::uint32_t seed = 12345;
  const auto next = [&seed] {  // a fixed sequence in [0, 1)
    seed = seed * 1664525U + 1013904223U;
    return (seed >> 8) / 16777216.0;
  };
  double startLatitude = 0;
  double startLongitude = 0;
  double heading = 0;
  for (int k = 0; k < count; ++k) {
    if (k % 50 == 0) {  // fifty photos a walk, from a spot of the city
      startLatitude = 37.45 + 0.18 * (next() - 0.5);
      startLongitude = 126.95 + 0.22 * (next() - 0.5);
      heading = 6.283 * next();
    }
    const double along = 0.0004 * (k % 50);
    const double latitude = startLatitude + along * std::sin(heading) + 0.0002 * next();
    const double longitude = startLongitude + along * std::cos(heading) + 0.0002 * next();
    writer.WritePhotoMarker(
        latitude, longitude,
        QStringLiteral("/photos/%1/IMG_%2.JPG").arg(k / 50).arg(k, 5, 10, QChar(u'0')));
  }
  writer.WriteMarkersEnd();
  if (const QString problem = writer.Close(); !problem.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(problem));
  }
  MapRequest request;
  request.show = true;
  request.file = MarkerFile::kPhotos;
  request.latitude = 37.45;
  request.longitude = 126.95;
  return request;
}

// Keeps the longest task the page ran (what kept it from answering) in benchLongest.
QWebEngineScript LongTaskWatch() {
  QWebEngineScript script;
  script.setName(QStringLiteral("bench-long-tasks"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(
      QStringLiteral("window.benchLongest = 0;"
                     "new PerformanceObserver(list => { for (const e of list.getEntries())"
                     "  window.benchLongest = Math.max(window.benchLongest, e.duration); })"
                     "  .observe({type: 'longtask', buffered: true});"));
  return script;
}

int MeasureOne(int count) {
  QTemporaryDir home;
  AppFolders folders = AppFolders::InHome(home.path());
  folders.dataFolder = test::BinaryFolder();
  folders.cacheFolder = home.filePath(QStringLiteral("cache"));
  QDir().mkpath(folders.cacheFolder);
  Settings settings(folders);
  settings.WriteSetting(setting::kLangFile, QStringLiteral("LANG_ENG.INI"));
  // No tile server answers: the page draws without a background, as offline.
  settings.WriteSetting(setting::kMapTileServer,
                        QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png"));
  const LanguageTexts texts = LanguageTexts::LoadFile(
      test::SourceFolder() + QStringLiteral("/resources/Lang/LANG_ENG.INI"));
  InstallPageScheme(QWebEngineProfile::defaultProfile(), ProgramPageFolders(folders),
                    [](const QString& path) { return PhotoPreviewJpeg(path); });
  const MapRequest request = WritePhotos(folders.cacheFolder, count);

  MapPage page(settings, texts);
  page.resize(1200, 800);
  page.show();
  page.view()->page()->scripts().insert(LongTaskWatch());
  // The default page first, so that the renderer is up, as in the program.
  MillisecondsUntil(page.view(), QStringLiteral("document.body && document.body.getAttribute("
                                                "'data-state') === 'drawn'"));
  RunScript(page.view(), QStringLiteral("document.body.removeAttribute('data-state'); true"));
  test::AnswerGaps gaps;
  gaps.Start();
  QElapsedTimer drawing;
  drawing.start();
  page.Show(request);
  MillisecondsUntil(page.view(), QStringLiteral("location.pathname.endsWith('Img.trh') &&"
                                                " document.body && document.body.getAttribute("
                                                "'data-state') === 'drawn'"));
  const double drawMs = static_cast<double>(drawing.nsecsElapsed()) / 1e6;
  gaps.Stop();
  const QVariantList drawn =
      RunScript(page.view(),
                QStringLiteral("[TrevaloMap.drawn.photos.length, window.benchLongest,"
                               " document.querySelectorAll('.marker-cluster').length,"
                               " document.querySelectorAll('.leaflet-photos-pane path').length]"))
          .toList();
  // A picture of the groups, when asked for (TREVALO_BENCH_GRAB names a folder).
  if (const QString folder = qEnvironmentVariable("TREVALO_BENCH_GRAB"); !folder.isEmpty()) {
    test::Wait([](auto done) { QTimer::singleShot(1000, done); });  // the frame drawn last
    page.grab().save(QDir(folder).filePath(QStringLiteral("photo-map-%1.png").arg(count)));
  }
  std::printf(
      "%6d photos  draw %6.0f ms  longest page task %4.0f ms  window's longest wait %4lld ms"
      "  %d photos, %d groups and %d single markers shown\n",
      count, drawMs, drawn.value(1).toDouble(), static_cast<long long>(gaps.longest()),
      drawn.value(0).toInt(), drawn.value(2).toInt(), drawn.value(3).toInt());
  std::fflush(stdout);
  return drawn.value(0).toInt() == count ? 0 : 1;
}

}  // namespace
}  // namespace trevalo

int main(int argc, char** argv) {
  return trevalo::RunEachSizeAlone(
      argc, argv, {QStringLiteral("100"), QStringLiteral("1000"), QStringLiteral("10000")},
      trevalo::MeasureOne);
}
