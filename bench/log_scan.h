#pragma once
// The scan of a log file as the library runs it when it opens, for the benchmarks of each
// log format.

#include <cstdint>
#include <filesystem>
#include <string>

#include <QString>

#include "bench_support.h"
#include "logs/gps_log.h"

namespace trevalo::bench {

inline void MeasureLogScan(benchmark::State& state, const std::string& path) {
  const QString file = QString::fromStdString(path);
  std::uint32_t points = 0;
  for (auto _ : state) {
    const GPSLog log(file, 0, 0, {}, 900, 0);
    points = log.pointCount();
    benchmark::DoNotOptimize(points);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
  state.counters["points"] = points;
}

}  // namespace trevalo::bench
