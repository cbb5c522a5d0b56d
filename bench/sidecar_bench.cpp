// Tagging 1,000 RAW photos through XMP sidecars: listing and matching them against a log and
// writing a sidecar beside each, beside exiftool's -geotag writing sidecars for the same
// photos from the same track (as GPX) in one run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QDir>
#include <QString>

#include "bench_support.h"
#include "library/log_library.h"
#include "support/log_generator.h"
#include "support/test_files.h"
#include "support/test_photos.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"
#include "track/calendar_time.h"

namespace {

constexpr int kPhotos = 1000;

std::string Folder() {
  const char* folder = std::getenv("TREVALO_BENCH_DIR");
  return std::string(folder != nullptr ? folder : "/tmp/trevalo-bench") + "/sidecars";
}

struct Setup {
  QString log;
  QString gpx;
  QStringList photos;
};

// A log of 2021-02-13 10:00 to 12:00 UTC, a fix every 5 s, the same track as GPX, and 1,000
// small CR3 files taken one every 7 s from 10:01 on.
const Setup& Data() {
  static const Setup setup = [] {
    Setup s;
    const QString folder = QString::fromStdString(Folder());
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/raw"));
    std::vector<trevalo::test::GeneratedFix> fixes;
    s.log = folder + QStringLiteral("/walk.log");
    trevalo::test::WriteFile(
        s.log,
        trevalo::test::GenerateLog(
            {.year = 2021, .month = 2, .day = 13, .hour = 10, .epochs = 1441, .intervalSeconds = 5},
            &fixes));
    std::string gpx =
        "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    for (const trevalo::test::GeneratedFix& fix : fixes) {
      char line[256];
      std::snprintf(line, sizeof line, "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele><time>",
                    fix.latitude, fix.longitude, fix.altitude);
      gpx += line;
      trevalo::AppendIsoUtcTime(gpx, fix.utcSeconds);
      gpx += "</time></trkpt>\n";
    }
    gpx += "</trkseg></trk></gpx>\n";
    s.gpx = folder + QStringLiteral("/walk.gpx");
    trevalo::test::WriteFile(s.gpx, gpx);
    for (int i = 0; i < kPhotos; ++i) {
      const int seconds = 60 + 7 * i;
      char date[32];
      std::snprintf(date, sizeof date, "2021:02:13 %02d:%02d:%02d", 10 + seconds / 3600,
                    seconds / 60 % 60, seconds % 60);
      const QString photo = folder + QStringLiteral("/raw/IMG_%1.CR3").arg(i, 4, 10, QChar(u'0'));
      trevalo::test::MakeOtherPhoto(photo, date);
      s.photos << photo;
    }
    return s;
  }();
  return setup;
}

void RemoveSidecars() {
  for (const auto& entry : std::filesystem::directory_iterator(Folder() + "/raw")) {
    if (entry.path().extension() == ".xmp") {
      std::filesystem::remove(entry.path());
    }
  }
}

void BM_TrevaloSidecars(benchmark::State& state) {
  const Setup& setup = Data();
  const trevalo::MatchSettings settings;
  for (auto _ : state) {
    state.PauseTiming();
    RemoveSidecars();
    state.ResumeTiming();
    trevalo::LogLibrary library = trevalo::LogLibrary::InMemory({{setup.log, 0, 0, {}, 0}}, 0);
    trevalo::PhotoList photos;
    for (const QString& photo : setup.photos) {
      photos.AddPhoto(photo, library, settings, {});
    }
    const trevalo::SaveReport report = trevalo::SaveTaggedPhotos(
        photos, library, settings, trevalo::SaveMode::kInPlace, QString());
    if (report.items.size() != kPhotos) {
      state.SkipWithError("not every photo was tagged");
    }
  }
  state.counters["photos/s"] =
      benchmark::Counter(kPhotos, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ExifToolGeotagSidecars(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("exiftool")) {
    state.SkipWithError("exiftool is not installed");
    return;
  }
  const Setup& setup = Data();
  const std::string command = "TZ=UTC exiftool -q -geotag '" + setup.gpx.toStdString() +
                              "' -o %d%f.%e.xmp '" + Folder() + "/raw'";
  for (auto _ : state) {
    state.PauseTiming();
    RemoveSidecars();
    state.ResumeTiming();
    trevalo::bench::RunCommand(command);
  }
  state.counters["photos/s"] =
      benchmark::Counter(kPhotos, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_TrevaloSidecars)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExifToolGeotagSidecars)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  trevalo::bench::ComparingReporter reporter("BM_TrevaloSidecars", "BM_ExifToolGeotagSidecars");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
