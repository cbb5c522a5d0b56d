#include "bench_support.h"

#include <sys/resource.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace trevalo::bench {

std::string DataFolder() {
  const char* folder = std::getenv("TREVALO_BENCH_DIR");
  return folder != nullptr ? folder : "/tmp/trevalo-bench";
}

std::string DataFile(const std::string& name, std::size_t minimumSize,
                     const std::function<std::string()>& make) {
  const std::filesystem::path dir = DataFolder();
  std::filesystem::create_directories(dir);
  const std::filesystem::path path = dir / name;
  std::error_code error;
  if (std::filesystem::file_size(path, error) < minimumSize || error) {
    std::fprintf(stderr, "writing %s ...\n", path.c_str());
    const std::string bytes = make();
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  return path.string();
}

std::size_t ReadWholeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return 0;
  }
  constexpr std::size_t kBlock = 1 << 20;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kBlock);
  std::size_t total = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.get(), kBlock);
    if (n <= 0) {
      break;
    }
    total += static_cast<std::size_t>(n);
    benchmark::DoNotOptimize(buffer[0]);
  }
  ::close(fd);
  return total;
}

bool RunCommand(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

bool HaveProgram(const std::string& name) {
  return RunCommand("command -v " + name + " > /dev/null 2>&1");
}

void ComparingReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred) {
      continue;
    }
    const std::string name = run.benchmark_name();
    const double seconds =
        run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    if (!seconds_.contains(name)) {
      order_.push_back(name);
    }
    seconds_[name] = seconds;
  }
}

void ComparingReporter::Finalize() {
  ConsoleReporter::Finalize();
  const auto find = [this](const std::string& prefix) -> double {
    for (const auto& [name, seconds] : seconds_) {
      if (name.rfind(prefix, 0) == 0) {
        return seconds;
      }
    }
    return 0;
  };
  const double floor = find(floor_);
  const double peer = find(peer_);
  std::printf("\n%-44s %12s %14s %14s\n", "benchmark", "seconds", "x floor", "peer / this");
  for (const std::string& name : order_) {
    const double seconds = seconds_[name];
    std::printf("%-44s %12.4f %14s %14s\n", name.c_str(), seconds,
                floor > 0 ? std::to_string(seconds / floor).substr(0, 6).c_str() : "-",
                peer > 0 ? std::to_string(peer / seconds).substr(0, 7).c_str() : "-");
  }
}

void MeasurePlainRead(benchmark::State& state, const std::string& path) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = ReadWholeFile(path);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void CountPointMemory(benchmark::State& state, std::size_t pointBytes, std::size_t points) {
  state.counters["point_bytes"] =
      points == 0 ? 0 : static_cast<double>(pointBytes) / static_cast<double>(points);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024;
}

}  // namespace trevalo::bench
