#pragma once
// Shared pieces of the benchmarks: data files, the plain-read floor, peer programs, and a
// reporter that prints each benchmark's time beside the floor and the peer.

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>

namespace trevalo::bench {

// The benchmark data folder: TREVALO_BENCH_DIR, or /tmp/trevalo-bench.
std::string DataFolder();

// A data file in the benchmark data folder, written by `make` unless a file of at least
// `minimumSize` bytes is there already.
std::string DataFile(const std::string& name, std::size_t minimumSize,
                     const std::function<std::string()>& make);

// Reads a file once in 1 MiB blocks; returns the bytes read.
std::size_t ReadWholeFile(const std::string& path);

// Reads the file once per iteration, counting its bytes: the floor a reader is compared with.
void MeasurePlainRead(benchmark::State& state, const std::string& path);

// Counters of a loaded log: the bytes its points hold per point, and the process's peak
// resident memory so far (MB).
void CountPointMemory(benchmark::State& state, std::size_t pointBytes, std::size_t points);

// Runs a command through the shell; true when it exits with 0.
bool RunCommand(const std::string& command);
bool HaveProgram(const std::string& name);

// Console output plus a closing table: the real time of each benchmark, and its ratio to
// the benchmarks named as floor and peer.
class ComparingReporter : public benchmark::ConsoleReporter {
 public:
  ComparingReporter(std::string floorName, std::string peerName)
      : floor_(std::move(floorName)), peer_(std::move(peerName)) {}
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  std::string floor_;
  std::string peer_;
  std::map<std::string, double> seconds_;
  std::vector<std::string> order_;
};

}  // namespace trevalo::bench
