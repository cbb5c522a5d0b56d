// The map page with a long track, in the browser engine the program shows it with
// (offscreen): how long the log manager's map command takes to write the marker file, how
// long the page takes from navigation to drawn, how long a zoom step takes to redraw, the
// peak memory of the page's renderer process and what the program keeps afterwards. The
// page draws a track of the same size that turns at every scale (the generated log runs
// straight, which any simplification draws as one stroke).
//
//   bench_map_page [points...]      (default: 10000 86400 1000000)
//
// Each size runs in a process of its own, so that every renderer starts afresh and its
// peak memory is that of one page.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "bench_support.h"
#include "library/log_library.h"
#include "map/map_page.h"
#include "map/show_tracks.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "tagging/photo_preview.h"
#include "web_bench_support.h"
#include "widgets/page_scheme.h"

namespace trevalo {
namespace {

// Zooms in three steps and out again without animation, each time waiting for two frames
// after the map has redrawn: the average milliseconds of a step.
double ZoomStepMilliseconds(QWebEngineView* view) {
  RunScript(view,
            QStringLiteral("window.benchZoom = null;"
                           "(async () => {"
                           "  const map = window.trevaloMap, times = [];"
                           "  const frames = () => new Promise(done => requestAnimationFrame("
                           "      () => requestAnimationFrame(done)));"
                           "  for (const step of [1, 1, 1, -1, -1, -1]) {"
                           "    const start = performance.now();"
                           "    map.setZoom(map.getZoom() + step, {animate: false});"
                           "    await frames();"
                           "    times.push(performance.now() - start);"
                           "  }"
                           "  window.benchZoom = times.reduce((a, b) => a + b, 0) / times.length;"
                           "})(); true"));
  QVariant average;
  MillisecondsUntil(view, QStringLiteral("window.benchZoom"), &average);
  return average.toDouble();
}

// Packed ddmm.mmmm of decimal degrees (not negative).
double Packed(double degrees) {
  const double whole = std::floor(degrees);
  return whole * 100 + (degrees - whole) * 60;
}

// A walk that turns at every scale (loops of a few metres to kilometres), as a day of a
// logger does, so that no zoom level can draw it as a few straight strokes; written over
// the map command's file with the same number of points and the same marks.
void WriteTurningTrack(const QString& folder, int points) {
  MarkerWriter writer(folder, MarkerFile::kTracks);
  writer.WriteMarkersStart();
  writer.BeginLine(0x00ff00, 4);
  TrackPoint point;
  point.latitudeRef = "N";
  point.longitudeRef = "E";
  for (int k = 0; k < points; ++k) {
    const double t = k / 1000.0;
    const double north =
        0.002 * k + 300 * std::sin(t / 7) + 40 * std::sin(t * 1.3) + 4 * std::sin(t * 17);
    const double east =
        600 * std::sin(t / 23) + 40 * std::cos(t * 1.1) + 4 * std::cos(t * 19) + 0.0005 * k;
    point.latitude = Packed(37.39 + north / 111'000);
    point.longitude = Packed(126.96 + east / 88'000);
    writer.WriteLinePoint(point);
  }
  writer.WriteLineInfo(QStringLiteral("05/17/2009 12:00:00"), QStringLiteral("05/29/2009 01:46:39"),
                       QStringLiteral("1500.0 km"), QStringLiteral("277:46:39"),
                       QStringLiteral("5.4 km/h"));
  writer.EndLine();
  writer.WriteStartLap(1, BuildPosition(point, {}), QStringLiteral("05/17/2009 12:00:00"));
  writer.WriteWaypointMarker(1, BuildPosition(point, {}), QStringLiteral("05/20/2009 12:00:00"));
  writer.WriteMarkersEnd();
  if (const QString problem = writer.Close(); !problem.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(problem));
  }
}

int MeasureOne(int points) {
  const std::string log = bench::DataFile("map_track_" + std::to_string(points) + ".log", 1, [&] {
    test::LogPlan plan;
    plan.epochs = points;
    plan.northMetresPerEpoch = 1.5;
    plan.eastMetresPerEpoch = 0.9;
    plan.climbPerEpoch = 0.001;
    plan.deviceSentences = false;
    plan.lapEpochs = {points / 3, 2 * points / 3};
    plan.waypointEpochs = {points / 2};
    return test::GenerateLog(plan);
  });
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

  LogLibrary library = LogLibrary::InMemory({{QString::fromStdString(log), 5, 1, {}, 0}}, 0);
  QElapsedTimer writing;
  writing.start();
  const MapRequest request = ShowLogsOnMap(library, {0}, folders.cacheFolder, PositionCorrection{});
  const double writeMs = static_cast<double>(writing.nsecsElapsed()) / 1e6;
  const long keptKb = StatusKilobytes(QString::number(QCoreApplication::applicationPid()), "VmRSS");
  WriteTurningTrack(folders.cacheFolder, points);
  const double fileMb =
      static_cast<double>(
          QFileInfo(folders.cacheFolder + QStringLiteral("/TRXMLONLYTRACKS.xml")).size()) /
      1e6;

  MapPage page(settings, texts);
  page.resize(1200, 800);
  page.show();
  // The default page first, so that the renderer is up, as in the program.
  MillisecondsUntil(page.view(), QStringLiteral("document.body && document.body.getAttribute("
                                                "'data-state') === 'drawn'"));
  RunScript(page.view(), QStringLiteral("document.body.removeAttribute('data-state'); true"));
  QElapsedTimer drawing;
  drawing.start();
  page.Show(request);
  MillisecondsUntil(page.view(), QStringLiteral("location.pathname.endsWith('Tracks.trh') &&"
                                                " document.body && document.body.getAttribute("
                                                "'data-state') === 'drawn'"));
  const double drawMs = static_cast<double>(drawing.nsecsElapsed()) / 1e6;
  // What the page holds of the line, and draws of it at the fitted zoom (-1: not known).
  const QVariantList line =
      RunScript(
          page.view(),
          QStringLiteral("(() => { const lines = TrevaloMap.drawn ? TrevaloMap.drawn.lines : [];"
                         " if (lines.length !== 1) return [-1, -1];"
                         " return [lines[0].pointCount(),"
                         "         lines[0].levelPoints(trevaloMap.getZoom()).length]; })()"))
          .toList();
  const double zoomMs = ZoomStepMilliseconds(page.view());
  std::printf(
      "%9d points  %7.1f MB file  write %8.0f ms  draw %8.0f ms  zoom step %7.0f ms"
      "  renderer peak %6ld MB  program after writing %6ld MB  line %d points, %d drawn\n",
      points, fileMb, writeMs, drawMs, zoomMs, RendererPeakKilobytes() / 1024, keptKb / 1024,
      line.value(0).toInt(), line.value(1).toInt());
  std::fflush(stdout);
  return drawMs >= 0 ? 0 : 1;
}

}  // namespace
}  // namespace trevalo

int main(int argc, char** argv) {
  return trevalo::RunEachSizeAlone(
      argc, argv, {QStringLiteral("10000"), QStringLiteral("86400"), QStringLiteral("1000000")},
      trevalo::MeasureOne);
}
