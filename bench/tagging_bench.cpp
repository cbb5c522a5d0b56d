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
#include "core/calendar_time.h"
#include "tagging/exif_file.h"

namespace {

struct PhotoSpec {
  const char* name;
  int width;
  int height;
  int quality;
};

// From about 0.5 MB to about 6 MB.
constexpr PhotoSpec kPhotos[] = {
    {"photo_0.jpg", 1400, 1050, 92}, {"photo_1.jpg", 2000, 1500, 93}, {"photo_2.jpg", 2600, 1950, 94},
    {"photo_3.jpg", 3200, 2400, 95}, {"photo_4.jpg", 4000, 3000, 96},
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
    for (const PhotoSpec& spec : kPhotos) {
      paths.push_back(trevalo::bench::DataFile(spec.name, 1, [&] {
        const std::string path = Folder() + "/" + spec.name;
        char command[1024];
        std::snprintf(command, sizeof command,
                      "convert -seed 7 -size %dx%d plasma:fractal -attenuate 0.4 +noise Gaussian "
                      "-quality %d '%s'",
                      spec.width, spec.height, spec.quality, path.c_str());
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

std::string OutputFolder() {
  const std::string folder = Folder() + "/out";
  std::filesystem::create_directories(folder);
  return folder;
}

trevalo::TrackPoint Point() {
  trevalo::TrackPoint p;
  p.latitude = 3723.4567;
  p.latitudeRef = "N";
  p.longitude = 12658.1234;
  p.longitudeRef = "E";
  p.altitude = 45.3;
  p.ggaMatchesRmc = 1;
  p.utcTimeOfDay = 123519;
  p.utcTime = *trevalo::MakeTime(2009, 5, 17, 12, 35, 19);
  p.satelliteText = "08,01,40,083,46,02,17,308,41";
  p.gsaMode = "A";
  p.fixTypeText = "3";
  p.dop = 2.5;
  p.speedRef = "K";
  p.speed = 18.52;
  p.courseRef = "T";
  p.course = 84.4;
  return p;
}

void Report(benchmark::State& state) {
  const auto photos = static_cast<std::int64_t>(Photos().size());
  state.SetBytesProcessed(state.iterations() * TotalBytes());
  state.SetItemsProcessed(state.iterations() * photos);
}

void BM_CopyInProcess(benchmark::State& state) {
  const std::string out = OutputFolder();
  for (auto _ : state) {
    for (const std::string& photo : Photos()) {
      std::filesystem::copy_file(photo, out + "/copy.jpg",
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
  Report(state);
}

void BM_CopyWithCat(benchmark::State& state) {
  std::string command;
  for (const std::string& photo : Photos()) {
    command += "cat '" + photo + "' > '" + OutputFolder() + "/cat.jpg'; ";
  }
  for (auto _ : state) {
    trevalo::bench::RunCommand(command);
  }
  Report(state);
}

void BM_Tag(benchmark::State& state) {
  const trevalo::TrackPoint point = Point();
  const QString out = QString::fromStdString(OutputFolder() + "/tagged.jpg");
  for (auto _ : state) {
    for (const std::string& photo : Photos()) {
      trevalo::ExifFile file(QString::fromStdString(photo), trevalo::ExifFile::kRewrite);
      file.SetPositionSource(point);
      if (!file.ReadSections() || !file.WriteFile(out, false).isEmpty()) {
        state.SkipWithError("a photo could not be tagged");
        return;
      }
    }
  }
  Report(state);
}

void BM_ExifTool(benchmark::State& state) {
  if (!trevalo::bench::HaveProgram("exiftool")) {
    state.SkipWithError("exiftool is not installed");
    return;
  }
  const std::string out = OutputFolder() + "/exiftool";
  std::string command =
      "rm -rf '" + out + "' && exiftool -q -o '" + out + "/' -GPSLatitude=37.3909 "
      "-GPSLatitudeRef=N -GPSLongitude=126.9687 -GPSLongitudeRef=E -GPSAltitude=45.3 "
      "-GPSTimeStamp=12:35:19 -GPSDateStamp=2009:05:17 -GPSSatellites=08 -GPSStatus=A "
      "-GPSMeasureMode=3 -GPSDOP=2.5 -GPSSpeedRef=K -GPSSpeed=18.5 -GPSTrackRef=T "
      "-GPSTrack=84.4 -GPSMapDatum=WGS-84";
  for (const std::string& photo : Photos()) {
    command += " '" + photo + "'";
  }
  for (auto _ : state) {
    if (!trevalo::bench::RunCommand(command)) {
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
