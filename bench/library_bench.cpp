// Opening a library of 5,000 logs of 1,000 points each (every file scanned, none parsed),
// adding 2,000 of them to an empty library in one command beside scanning them, and
// geotagging 1,000 photos: against that library, and against one log beside exiftool's
// -geotag on the same photos and log.

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench_support.h"
#include "library/log_library.h"
#include "support/log_generator.h"
#include "tagging/photo_list.h"
#include "tagging/photo_save.h"

namespace {

constexpr int kLogs = 5000;
constexpr int kPointsPerLog = 1000;
constexpr int kPhotos = 1000;

std::string Folder() {
  const char* folder = std::getenv("TREVALO_BENCH_DIR");
  return folder != nullptr ? folder : "/tmp/trevalo-bench";
}

// Log k starts on day k after 2000-01-01 at 08:00 UTC and runs 1,000 seconds.
trevalo::test::LogPlan PlanOf(int k) {
  const trevalo::TimeValue day = *trevalo::MakeTime(2000, 1, 1, 8, 0, 0) + k * 86400LL;
  const trevalo::CalendarFields f = *trevalo::BreakDown(day);
  trevalo::test::LogPlan plan;
  plan.year = f.year;
  plan.month = f.month;
  plan.day = f.day;
  plan.hour = 8;
  plan.epochs = kPointsPerLog;
  plan.satellites = 6;
  return plan;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The library folder with its logs and database, written once.
const QString& LibraryFolder() {
  static const QString folder = [] {
    const std::string dir = Folder() + "/library";
    const std::string marker = dir + "/complete";
    if (!std::filesystem::exists(marker)) {
      std::fprintf(stderr, "writing %d logs into %s ...\n", kLogs, dir.c_str());
      std::filesystem::create_directories(dir + "/logs");
      std::vector<trevalo::LogRecord> records;
      for (int k = 0; k < kLogs; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "/logs/log_%04d.log", k);
        WriteBytes(dir + name, trevalo::test::GenerateLog(PlanOf(k)));
        records.push_back({QString::fromStdString(dir + name), k % 15, k % 6, {}, 0});
      }
      const QByteArray database = *trevalo::SerializeDatabase(records, nullptr);
      WriteBytes(dir + "/Wayfable_Logs.DB", database.toStdString());
      WriteBytes(marker, "");
    }
    return QString::fromStdString(dir);
  }();
  return folder;
}

std::uint64_t LibraryBytes() {
  std::uint64_t total = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(LibraryFolder().toStdString() + "/logs")) {
    total += entry.file_size();
  }
  return total;
}

// 1,000 photos: copies of a small camera photo whose capture time is patched to one
// second each, through the 1,000 seconds of the day of `log`.
const std::vector<QString>& Photos(int log) {
  static std::map<int, std::vector<QString>> made;
  std::vector<QString>& photos = made[log];
  if (!photos.empty()) {
    return photos;
  }
  const std::string dir = Folder() + "/photos_" + std::to_string(log);
  std::filesystem::create_directories(dir);
  std::ifstream seed(std::string(TREVALO_SOURCE_DIR) + "/fuzz/corpus/exif_file/le.jpg",
                     std::ios::binary);
  const std::string original((std::istreambuf_iterator<char>(seed)), {});
  const std::size_t date = original.find("2009:05:17 12:00:00");
  const trevalo::test::LogPlan plan = PlanOf(log);
  for (int i = 0; i < kPhotos; ++i) {
    std::string bytes = original;
    char text[20];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", plan.year, plan.month,
                  plan.day, 8, i / 60, i % 60);
    bytes.replace(date, 19, text);
    char name[32];
    std::snprintf(name, sizeof name, "/p%04d.jpg", i);
    WriteBytes(dir + name, bytes);
    photos.push_back(QString::fromStdString(dir + name));
  }
  return photos;
}

void BM_OpenLibrary(benchmark::State& state) {
  const QString folder = LibraryFolder();
  std::size_t logs = 0;
  for (auto _ : state) {
    const trevalo::LogLibrary library(folder, 0);
    logs = library.size();
  }
  state.counters["logs"] = static_cast<double>(logs);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(LibraryBytes()));
}

constexpr int kAddedLogs = 2000;

std::vector<QString> AddedLogPaths() {
  std::vector<QString> paths;
  for (int k = 0; k < kAddedLogs; ++k) {
    paths.push_back(LibraryFolder() +
                    QStringLiteral("/logs/log_%1.log").arg(k, 4, 10, QLatin1Char('0')));
  }
  return paths;
}

// The floor of an add: the scan every added log needs.
double ScanSeconds(const std::vector<QString>& paths) {
  const auto start = std::chrono::steady_clock::now();
  for (const QString& path : paths) {
    const trevalo::GPSLog log(path, 0, 0, {}, 0, 0);
    benchmark::DoNotOptimize(log.pointCount());
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ScanLogs(benchmark::State& state) {
  const std::vector<QString> paths = AddedLogPaths();
  for (auto _ : state) {
    ScanSeconds(paths);
  }
  state.SetItemsProcessed(state.iterations() * kAddedLogs);
}

// `library add` of 2,000 logs: one change of the library (one lock, one save); "x_scan"
// is its time over the scan of the same logs.
void BM_AddLogs(benchmark::State& state) {
  const std::vector<QString> paths = AddedLogPaths();
  std::vector<trevalo::LogLibrary::NewLog> logs;
  for (const QString& path : paths) {
    logs.push_back({path, 0, 0, 0});
  }
  const QString folder = QString::fromStdString(Folder() + "/added_library");
  double addSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QDir(folder).removeRecursively();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    trevalo::LogLibrary library(folder, 0);
    const std::vector<trevalo::LogLibrary::Change> changes = library.AddLogs(logs);
    addSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (library.size() != paths.size() ||
        std::any_of(changes.begin(), changes.end(), [](const auto& c) { return !c.done(); })) {
      state.SkipWithError("not every log was added");
      return;
    }
  }
  state.counters["x_scan"] =
      addSeconds / static_cast<double>(state.iterations()) / ScanSeconds(paths);
  state.SetItemsProcessed(state.iterations() * kAddedLogs);
}

// Geotags photos into a fresh folder; `library` is set up outside the timing.
void Geotag(benchmark::State& state, trevalo::LogLibrary& library,
            const std::vector<QString>& photos) {
  const std::string out = Folder() + "/geotagged";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    state.ResumeTiming();
    trevalo::PhotoList list;
    const trevalo::MatchSettings settings;
    const trevalo::DisplayFormats formats;
    for (const QString& photo : photos) {
      list.AddPhoto(photo, library, settings, formats);
    }
    const trevalo::SaveReport report = trevalo::SaveTaggedPhotos(
        list, library, settings, trevalo::SaveMode::kCopy, QString::fromStdString(out));
    if (report.items.size() != photos.size()) {
      state.SkipWithError("not every photo was tagged");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(photos.size()));
}

void BM_GeotagAgainstTheLibrary(benchmark::State& state) {
  trevalo::LogLibrary library(LibraryFolder(), 0);
  Geotag(state, library, Photos(2500));
}

void BM_GeotagAgainstOneLog(benchmark::State& state) {
  trevalo::LogLibrary library = trevalo::LogLibrary::InMemory(
      {{LibraryFolder() + QStringLiteral("/logs/log_2500.log"), 0, 0, {}, 0}}, 0);
  Geotag(state, library, Photos(2500));
}

void BM_ExifToolGeotag(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("exiftool")) {
    state.SkipWithError("exiftool is not installed");
    return;
  }
  const std::string out = Folder() + "/exiftool_geotagged";
  const std::string command = "TZ=UTC exiftool -q -geotag '" + LibraryFolder().toStdString() +
                              "/logs/log_2500.log' -o '" + out + "/' '" + Folder() +
                              "/photos_2500'";
  Photos(2500);
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(out);
    state.ResumeTiming();
    if (!trevalo::bench::RunCommand(command)) {
      state.SkipWithError("exiftool failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kPhotos);
}

BENCHMARK(BM_OpenLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_ScanLogs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AddLogs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GeotagAgainstTheLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GeotagAgainstOneLog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExifToolGeotag)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("library: %d logs, %.2f GB\n", kLogs, static_cast<double>(LibraryBytes()) / 1e9);
  trevalo::bench::ComparingReporter reporter("BM_GeotagAgainstOneLog", "BM_ExifToolGeotag");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
