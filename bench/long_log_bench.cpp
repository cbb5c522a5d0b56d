// trevalo-cli geotag on long logs: 200 photos on a log of 300,000 points beside the same
// photos on a log of 3,000 points over the same span (the lookup's cost should hardly grow
// with the log), and 1,000 photos on a log of 1,000,000 points beside exiftool's -geotag of
// the same photos and log. Each run is a fresh process. A long log is read from its file
// the first time and from the cache of loaded logs afterwards: the runs empty the cache
// first unless their name says the log was loaded before. The program run is TREVALO_CLI
// when set, else the one built beside this benchmark.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>

#include "bench_support.h"
#include "geotag_support.h"
#include "support/log_generator.h"

namespace {

using trevalo::bench::DataFolder;

// Every log starts here (UTC); the photos are taken in the middle of their steps.
constexpr trevalo::test::LogPlan kStart{.year = 2009, .month = 5, .day = 17, .hour = 12};

// A log of `points` fixes `interval` seconds apart, written once.
QString LogOf(int points, int interval) {
  trevalo::test::LogPlan plan = kStart;
  plan.epochs = points;
  plan.intervalSeconds = interval;
  // A slow walk on the level, so that even a million points stay usable fixes.
  plan.northMetresPerEpoch = 1.5;
  plan.eastMetresPerEpoch = 0.9;
  plan.climbPerEpoch = 0;
  return QString::fromStdString(trevalo::bench::DataFile(
      "long_log_" + std::to_string(points) + "_every_" + std::to_string(interval) + "s.log", 1,
      [&] { return trevalo::test::GenerateLog(plan); }));
}

// `count` photos spread evenly over `span` seconds from the logs' start: copies of the small
// camera photo, whose own cost is next to nothing, or of a phone-size one (1.3 MB), as
// users geotag.
QStringList PhotosOver(int count, int span, bool phoneSize = false) {
  const int step = span / count;
  return trevalo::bench::PhotoCopies(
      DataFolder() + "/long_log_photos_" + std::to_string(count) + "_every_" +
          std::to_string(step) + (phoneSize ? "s_phone" : "s"),
      phoneSize ? trevalo::bench::PhoneSeedPhoto(2000) : trevalo::bench::SmallSeedPhoto(), count,
      *trevalo::MakeTime(kStart.year, kStart.month, kStart.day, kStart.hour, 0, 0) + step / 2,
      step);
}

std::size_t FilesIn(const std::string& folder) {
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  return files;
}

enum class LoadedBefore { kNo, kYes };

// trevalo-cli geotag of `photos` on `log` into a fresh folder; every photo must be written.
void Geotag(benchmark::State& state, const QString& log, const QStringList& photos,
            LoadedBefore loadedBefore = LoadedBefore::kNo) {
  const std::string out = DataFolder() + "/long_log_out";
  const QStringList arguments =
      QStringList{QStringLiteral("geotag"),   QStringLiteral("--log"), log,
                  QStringLiteral("--zone"),   QStringLiteral("0"),     QStringLiteral("--out"),
                  QString::fromStdString(out)} +
      photos;
  trevalo::bench::EmptyFolder(trevalo::bench::PointsCacheFolder());
  if (loadedBefore == LoadedBefore::kYes) {
    trevalo::bench::EmptyFolder(out);
    trevalo::bench::RunQuietly(trevalo::bench::Cli(), arguments);
  }
  for (auto _ : state) {
    state.PauseTiming();
    trevalo::bench::EmptyFolder(out);
    if (loadedBefore == LoadedBefore::kNo) {
      trevalo::bench::EmptyFolder(trevalo::bench::PointsCacheFolder());
    }
    state.ResumeTiming();
    if (!trevalo::bench::RunQuietly(trevalo::bench::Cli(), arguments)) {
      state.SkipWithError("trevalo-cli geotag failed");
      return;
    }
    if (FilesIn(out) != static_cast<std::size_t>(photos.size())) {
      state.SkipWithError("not every photo was tagged");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * photos.size());
}

constexpr int kSpan = 300000;  // seconds: 300,000 points a second apart, 3,000 100 s apart

void BM_Geotag200On3kPoints(benchmark::State& state) {
  Geotag(state, LogOf(3000, kSpan / 3000), PhotosOver(200, kSpan));
}

void BM_Geotag200On300kPoints(benchmark::State& state) {
  Geotag(state, LogOf(300000, 1), PhotosOver(200, kSpan));
}

void BM_Geotag200On300kPointsLoadedBefore(benchmark::State& state) {
  Geotag(state, LogOf(300000, 1), PhotosOver(200, kSpan), LoadedBefore::kYes);
}

void BM_Geotag200PhoneSizeOn3kPoints(benchmark::State& state) {
  Geotag(state, LogOf(3000, kSpan / 3000), PhotosOver(200, kSpan, true));
}

void BM_Geotag200PhoneSizeOn300kPoints(benchmark::State& state) {
  Geotag(state, LogOf(300000, 1), PhotosOver(200, kSpan, true));
}

constexpr int kMillion = 1000000;

void BM_Geotag1000On1MPoints(benchmark::State& state) {
  Geotag(state, LogOf(kMillion, 1), PhotosOver(1000, kMillion));
}

void BM_ExifToolGeotag1000On1MPoints(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("exiftool")) {
    state.SkipWithError("exiftool is not installed");
    return;
  }
  const QStringList photos = PhotosOver(1000, kMillion);
  const std::string out = DataFolder() + "/long_log_exiftool_out";
  // exiftool reads the capture times as local times: UTC, as the log's.
  std::string command =
      "TZ=UTC exiftool -q -q -geotag '" + LogOf(kMillion, 1).toStdString() + "' -o '" + out + "/'";
  for (const QString& photo : photos) {
    command += " '" + photo.toStdString() + '\'';
  }
  for (auto _ : state) {
    state.PauseTiming();
    trevalo::bench::EmptyFolder(out);
    state.ResumeTiming();
    if (!trevalo::bench::RunCommand(command) ||
        FilesIn(out) != static_cast<std::size_t>(photos.size())) {
      state.SkipWithError("exiftool failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * photos.size());
}

BENCHMARK(BM_Geotag200On3kPoints)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Geotag200On300kPoints)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Geotag200On300kPointsLoadedBefore)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_Geotag200PhoneSizeOn3kPoints)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_Geotag200PhoneSizeOn300kPoints)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_Geotag1000On1MPoints)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ExifToolGeotag1000On1MPoints)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  std::printf("trevalo-cli: %s\n", trevalo::bench::Cli().toLocal8Bit().constData());
  // The long log against the short one of the same span; ours against exiftool's.
  trevalo::bench::ComparingReporter reporter("BM_Geotag200On3kPoints",
                                             "BM_ExifToolGeotag1000On1MPoints");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
