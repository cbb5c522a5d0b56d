// Tagging throughput: read a camera-size photo, rebuild its EXIF segment with a GPS
// directory and write a copy; beside copying the same files (in process and with cat) and
// beside exiftool writing the same GPS tags to the same photos in one run.

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench_support.h"
#include "photo/exif_file.h"
#include "support/sample_point.h"

namespace {

struct PhotoPlan {
  const char* name;
  int width;
  int height;
  int quality;
};

// From about 0.5 MB to about 6 MB.
constexpr PhotoPlan kPhotos[] = {
    {"photo_05mb.jpg", 1100, 825, 91}, {"photo_1mb.jpg", 1600, 1200, 91},
    {"photo_2mb.jpg", 2300, 1725, 91}, {"photo_3mb.jpg", 3000, 2250, 91},
    {"photo_5mb.jpg", 4000, 3000, 91}, {"photo_6mb.jpg", 4400, 3300, 91},
};

std::string Folder() {
  const char* folder = std::getenv("TREVALO_BENCH_DIR");
  return folder != nullptr ? folder : "/tmp/trevalo-bench";
}

const std::vector<std::string>& Photos() {
  static const std::vector<std::string> photos = [] {
    std::vector<std::string> paths;
    const std::string canon = std::string(TREVALO_TESTDATA) + "/jpeg/ianare_Canon_40D.jpg";
    const bool haveCanon = std::filesystem::exists(canon);
    for (const PhotoPlan& plan : kPhotos) {
      paths.push_back(trevalo::bench::DataFile(plan.name, 1, [&] {
        const std::string path = Folder() + "/" + plan.name;
        char command[1024];
        std::snprintf(command, sizeof command,
                      "convert -seed 7 -size %dx%d plasma:fractal -attenuate 0.25 +noise Gaussian "
                      "-quality %d '%s'",
                      plan.width, plan.height, plan.quality, path.c_str());
        trevalo::bench::RunCommand(command);
        // Camera EXIF data, with a maker note when the shared test photos are there.
        trevalo::bench::RunCommand(
            "exiftool -q -overwrite_original " +
            (haveCanon ? "-TagsFromFile '" + canon + "' -all:all " : std::string()) +
            "-DateTimeOriginal='2009:05:17 21:35:19' '" + path + "'");
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
      }));
    }
    return paths;
  }();
  return photos;
}

std::int64_t TotalBytes() {
  std::int64_t total = 0;
  for (const std::string& photo : Photos()) {
    total += static_cast<std::int64_t>(std::filesystem::file_size(photo));
  }
  return total;
}

// A fresh, empty output folder: every photo is written under a new name, as tagging copies
// into a folder does.
std::string FreshOutputFolder(benchmark::State& state) {
  state.PauseTiming();
  const std::string folder = Folder() + "/out";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  state.ResumeTiming();
  return folder;
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

void Report(benchmark::State& state) {
  const auto photos = static_cast<std::int64_t>(Photos().size());
  state.SetBytesProcessed(state.iterations() * TotalBytes());
  state.SetItemsProcessed(state.iterations() * photos);
}

void BM_CopyInProcess(benchmark::State& state) {
  for (auto _ : state) {
    const std::string out = FreshOutputFolder(state);
    for (const std::string& photo : Photos()) {
      std::filesystem::copy_file(photo, out + "/" + FileName(photo));
    }
  }
  Report(state);
}

void BM_CopyWithCat(benchmark::State& state) {
  for (auto _ : state) {
    const std::string out = FreshOutputFolder(state);
    std::string command;
    for (const std::string& photo : Photos()) {
      command += "cat '" + photo + "' > '" + out + "/" + FileName(photo) + "'; ";
    }
    trevalo::bench::RunCommand(command);
  }
  Report(state);
}

void BM_Tag(benchmark::State& state) {
  const trevalo::TrackPoint point = trevalo::test::SamplePoint();
  for (auto _ : state) {
    const QString out = QString::fromStdString(FreshOutputFolder(state));
    for (const std::string& photo : Photos()) {
      trevalo::ExifFile file(QString::fromStdString(photo), trevalo::ExifFile::kRewrite);
      file.SetPositionSource(point);
      if (!file.ReadSections() ||
          !file.WriteFile(out + u'/' + QString::fromStdString(FileName(photo)), false).isEmpty()) {
        state.SkipWithError("a photo could not be tagged");
        return;
      }
    }
  }
  Report(state);
}

// All the photos in one run, so that exiftool starts once.
void BM_ExifTool(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("exiftool")) {
    state.SkipWithError("exiftool is not installed");
    return;
  }
  std::string tags =
      " -GPSLatitude=37.3909 -GPSLatitudeRef=N -GPSLongitude=126.9687 -GPSLongitudeRef=E "
      "-GPSAltitude=45.3 -GPSTimeStamp=12:35:19 -GPSDateStamp=2009:05:17 -GPSSatellites=08 "
      "-GPSMeasureMode=3 -GPSDOP=2.5 -GPSSpeed=18.5 -GPSTrack=84.4 -GPSMapDatum=WGS-84";
  for (const std::string& photo : Photos()) {
    tags += " '" + photo + "'";
  }
  for (auto _ : state) {
    const std::string out = FreshOutputFolder(state);
    if (!trevalo::bench::RunCommand("exiftool -q -o '" + out + "/'" + tags)) {
      state.SkipWithError("exiftool failed");
      return;
    }
  }
  Report(state);
}

BENCHMARK(BM_CopyInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyWithCat)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tag)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExifTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const std::string& photo : Photos()) {
    std::printf("%s: %.2f MB\n", photo.c_str(),
                static_cast<double>(std::filesystem::file_size(photo)) / 1e6);
  }
  trevalo::bench::ComparingReporter reporter("BM_CopyInProcess", "BM_ExifTool");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
