// Reading a 100 MB GPX 1.1 track: the scan a library does when it opens, the whole open (scan
// and points in one reading) and the load of a scanned log's points, beside the plain cost of
// reading the file and beside gpsbabel reading it (its data dropped by a filter, so that
// nothing is written).

#include <QString>

#include "bench_support.h"
#include "log_scan.h"
#include "logs/gps_log.h"
#include "support/log_generator.h"

namespace {

constexpr std::size_t kGpxSize = 95'000'000;  // what the plan below writes is just under 100 MB

const std::string& GpxFile() {
  static const std::string path = trevalo::bench::DataFile("track_100mb.gpx", kGpxSize, [] {
    trevalo::test::LogPlan plan;
    plan.epochs = 1'000'000;
    plan.climbPerEpoch = 0.001;
    plan.waypointEpochs = {1000, 400000};
    return trevalo::test::GenerateGpx(plan, 11, 4);
  });
  return path;
}

std::int64_t FileSize() {
  static const std::int64_t size =
      static_cast<std::int64_t>(trevalo::bench::ReadWholeFile(GpxFile()));
  return size;
}

void BM_PlainRead(benchmark::State& state) {
  trevalo::bench::MeasurePlainRead(state, GpxFile());
}

void BM_GpxScan(benchmark::State& state) {
  trevalo::bench::MeasureLogScan(state, GpxFile());
}

// Opening the file to use its points at once, as `log points` and a merge do.
void BM_GpxOpen(benchmark::State& state) {
  const QString path = QString::fromStdString(GpxFile());
  for (auto _ : state) {
    trevalo::GPSLog log(path, 900, 0, trevalo::GPSLog::ReadAtOnce{});
    if (!log.pointsLoaded()) {
      state.SkipWithError("the log did not load");
      break;
    }
    benchmark::DoNotOptimize(log.points().size());
    trevalo::bench::CountPointMemory(state, log.points().memoryBytes(), log.points().size());
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

// Loading the points of a log of the library, scanned when the library opened, as the map,
// the charts and matching do.
void BM_GpxLoadScanned(benchmark::State& state) {
  const QString path = QString::fromStdString(GpxFile());
  for (auto _ : state) {
    state.PauseTiming();
    trevalo::GPSLog log(path, 0, 0, {}, 900, 0);
    state.ResumeTiming();
    if (!log.LoadPoints()) {
      state.SkipWithError("the log did not load");
      break;
    }
    benchmark::DoNotOptimize(log.points().size());
    trevalo::bench::CountPointMemory(state, log.points().memoryBytes(), log.points().size());
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

void BM_GpsbabelReadGpx(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("gpsbabel")) {
    state.SkipWithError("gpsbabel is not installed");
    return;
  }
  const std::string command = "gpsbabel -i gpx -f '" + GpxFile() +
                              "' -x nuketypes,waypoints,tracks,routes -o unicsv -F /dev/null";
  for (auto _ : state) {
    if (!trevalo::bench::RunCommand(command)) {
      state.SkipWithError("gpsbabel failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GpxScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GpxOpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GpxLoadScanned)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GpsbabelReadGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Write the data and warm the page cache before anything is timed.
  FileSize();
  trevalo::bench::ComparingReporter reporter("BM_PlainRead", "BM_GpsbabelReadGpx");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
