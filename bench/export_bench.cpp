// Exporting a log of 1,000,000 points to KML and to GPX, from the log file to the finished
// document (the parse included), beside gpsbabel turning the same log into GPX and KML.

#include <QString>

#include "bench_support.h"
#include "export/log_export.h"
#include "support/log_generator.h"

namespace {

constexpr int kPoints = 1'000'000;

const std::string& LogFile() {
  static const std::string path = trevalo::bench::DataFile("log_1m_points.log", 300'000'000, [] {
    trevalo::test::LogPlan plan;
    plan.epochs = kPoints;
    plan.lapEpochs = {1000, 400000, 900000};
    plan.waypointEpochs = {2000, 500000};
    plan.climbPerEpoch = 0.001;
    return trevalo::test::GenerateLog(plan);
  });
  return path;
}

std::string OutputFile(const char* extension) {
  return trevalo::bench::DataFile(std::string("export_out.") + extension, 0,
                                  [] { return std::string(); });
}

void Export(benchmark::State& state, trevalo::ExportFormat format, const char* extension) {
  const QString output = QString::fromStdString(OutputFile(extension));
  trevalo::ExportOptions options;
  options.format = format;
  options.trackFolderName = QStringLiteral("Tracks");
  for (auto _ : state) {
    // A fresh library each time: the points are parsed from the file in every run.
    trevalo::LogLibrary library =
        trevalo::LogLibrary::InMemory({{QString::fromStdString(LogFile()), 0, 0, {}, 900}}, 0);
    const trevalo::ExportReport report =
        trevalo::ExportLogs(library, {0}, output, QStringLiteral("bench"), options);
    if (!report.problems.isEmpty()) {
      state.SkipWithError(report.problems.front().toStdString().c_str());
      break;
    }
  }
  state.counters["points"] = kPoints;
}

void BM_ParseOnly(benchmark::State& state) {
  for (auto _ : state) {
    trevalo::LogLibrary library =
        trevalo::LogLibrary::InMemory({{QString::fromStdString(LogFile()), 0, 0, {}, 900}}, 0);
    QStringList problems;
    benchmark::DoNotOptimize(library.LoadHeld(0, problems));
  }
}

void BM_ExportKml(benchmark::State& state) {
  Export(state, trevalo::ExportFormat::kKml, "kml");
}
void BM_ExportGpx(benchmark::State& state) {
  Export(state, trevalo::ExportFormat::kGpx, "gpx");
}

void Gpsbabel(benchmark::State& state, const char* format) {
  if (!trevalo::bench::HaveProgram("gpsbabel")) {
    state.SkipWithError("gpsbabel is not installed");
    return;
  }
  const std::string command = "gpsbabel -t -i nmea -f '" + LogFile() + "' -o " + format + " -F '" +
                              OutputFile(format) + ".gpsbabel'";
  for (auto _ : state) {
    if (!trevalo::bench::RunCommand(command)) {
      state.SkipWithError("gpsbabel failed");
      break;
    }
  }
}

void BM_GpsbabelToKml(benchmark::State& state) {
  Gpsbabel(state, "kml");
}
void BM_GpsbabelToGpx(benchmark::State& state) {
  Gpsbabel(state, "gpx");
}

BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportKml)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_GpsbabelToKml)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_GpsbabelToGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  trevalo::bench::ReadWholeFile(LogFile());  // written and in the page cache before timing
  trevalo::bench::ComparingReporter reporter("BM_ParseOnly", "BM_GpsbabelToGpx");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
