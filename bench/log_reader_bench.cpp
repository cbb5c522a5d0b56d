// Scan and parse throughput of the log reader on a 200 MB log in the logger's layout,
// beside the plain cost of reading the file once and beside gpsbabel turning it into GPX.

#include <QString>

#include "bench_support.h"
#include "log_scan.h"
#include "logs/gps_log.h"
#include "support/log_generator.h"

namespace {

constexpr std::size_t kLogSize = 200'000'000;

const std::string& LogFile() {
  static const std::string path = trevalo::bench::DataFile("log_200mb.log", kLogSize, [] {
    trevalo::test::LogPlan plan;
    plan.epochs = 530'000;
    plan.lapEpochs = {1000, 50000, 300000};
    plan.waypointEpochs = {2000, 250000};
    plan.climbPerEpoch = 0.001;
    return trevalo::test::GenerateLog(plan);
  });
  return path;
}

std::int64_t FileSize() {
  static const std::int64_t size =
      static_cast<std::int64_t>(trevalo::bench::ReadWholeFile(LogFile()));
  return size;
}

void BM_PlainRead(benchmark::State& state) {
  trevalo::bench::MeasurePlainRead(state, LogFile());
}

void BM_Scan(benchmark::State& state) {
  trevalo::bench::MeasureLogScan(state, LogFile());
}

void BM_Parse(benchmark::State& state) {
  trevalo::GPSLog log(QString::fromStdString(LogFile()), 0, 0, {}, 900, 0);
  for (auto _ : state) {
    if (!log.LoadPoints()) {
      state.SkipWithError("the log did not load");
      break;
    }
    benchmark::DoNotOptimize(log.points().size());
    state.PauseTiming();
    trevalo::bench::CountPointMemory(state, log.points().memoryBytes(), log.points().size());
    log.ReleasePoints();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

void BM_GpsbabelToGpx(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("gpsbabel")) {
    state.SkipWithError("gpsbabel is not installed");
    return;
  }
  const std::string command = "gpsbabel -t -i nmea -f '" + LogFile() + "' -o gpx -F /dev/null";
  for (auto _ : state) {
    if (!trevalo::bench::RunCommand(command)) {
      state.SkipWithError("gpsbabel failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * FileSize());
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Scan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GpsbabelToGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Write the data and warm the page cache before anything is timed.
  FileSize();
  trevalo::bench::ComparingReporter reporter("BM_PlainRead", "BM_GpsbabelToGpx");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
