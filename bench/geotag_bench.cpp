// trevalo-cli geotag at the scale of a whole photo collection: a dry run of 20,000 photos
// beside reading their EXIF data once, and tagging 10,000 phone-size photos into a folder
// beside `cp` of the same files. The program run is TREVALO_CLI when set (to compare
// builds), else the one built beside this benchmark; TREVALO_THREADS is passed on.

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench_support.h"
#include "photo/photo_metadata.h"
#include "support/log_generator.h"

namespace {

constexpr int kDryRunPhotos = 20000;

std::string Folder() {
  const char* folder = std::getenv("TREVALO_BENCH_DIR");
  return folder != nullptr ? folder : "/tmp/trevalo-bench";
}

int EnvironmentNumber(const char* name, int otherwise) {
  const char* value = std::getenv(name);
  return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : otherwise;
}

// Phone photos: TREVALO_BENCH_PHONE_PHOTOS of them (10,000), each
// TREVALO_BENCH_PHONE_WIDTH pixels wide (3,000, about 3 MB); mind the free disk space, as
// the copies take as much again.
int PhonePhotoCount() {
  return EnvironmentNumber("TREVALO_BENCH_PHONE_PHOTOS", 10000);
}
int PhonePhotoWidth() {
  return EnvironmentNumber("TREVALO_BENCH_PHONE_WIDTH", 3000);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// One point a second from 2009-05-17 12:00:00 UTC, covering every photo.
const QString& LogFile() {
  static const QString path =
      QString::fromStdString(trevalo::bench::DataFile("geotag_walk.log", 1, [] {
        return trevalo::test::GenerateLog({.hour = 12, .epochs = 20000});
      }));
  return path;
}

// `count` copies of `seed` in `folder`, photo i taken i seconds after 12:00:00; the seed's
// capture time is "2009:05:17 12:00:00". Written once.
QStringList PhotoCopies(const std::string& folder, const std::string& seed, int count) {
  const std::string marker = folder + "/complete";
  QStringList paths;
  const bool made = std::filesystem::exists(marker);
  std::string bytes;
  std::size_t date = std::string::npos;
  if (!made) {
    std::fprintf(stderr, "writing %d photos into %s ...\n", count, folder.c_str());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bytes = ReadBytes(seed);
    date = bytes.find("2009:05:17 12:00:00");
    if (date == std::string::npos) {
      std::fprintf(stderr, "%s has no capture time to patch\n", seed.c_str());
      std::exit(1);
    }
  }
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/IMG_%05d.JPG", i);
    if (!made) {
      char text[32];
      std::snprintf(text, sizeof text, "2009:05:17 %02d:%02d:%02d", 12 + i / 3600, i / 60 % 60,
                    i % 60);
      bytes.replace(date, 19, text);
      WriteBytes(folder + name, bytes);
    }
    paths << QString::fromStdString(folder + name);
  }
  if (!made) {
    WriteBytes(marker, "");
  }
  return paths;
}

const QStringList& SmallPhotos() {
  static const QStringList photos = [] {
    const std::string seed = Folder() + "/small_seed.jpg";
    if (!std::filesystem::exists(seed)) {
      std::string bytes =
          ReadBytes(std::string(TREVALO_SOURCE_DIR) + "/fuzz/corpus/exif_file/le.jpg");
      // The seed's own capture time, moved to the start of the log.
      const std::size_t date = bytes.find("2009:05:17 12:00:00");
      if (date == std::string::npos) {
        std::fprintf(stderr, "the seed photo has no capture time\n");
        std::exit(1);
      }
      WriteBytes(seed, bytes);
    }
    return PhotoCopies(Folder() + "/dry_run_photos", seed, kDryRunPhotos);
  }();
  return photos;
}

const QStringList& PhonePhotos() {
  static const QStringList photos = [] {
    const int width = PhonePhotoWidth();
    const std::string seed = Folder() + "/phone_seed_" + std::to_string(width) + ".jpg";
    if (!std::filesystem::exists(seed)) {
      char command[1024];
      std::snprintf(command, sizeof command,
                    "convert -seed 7 -size %dx%d plasma:fractal -attenuate 0.25 +noise Gaussian "
                    "-quality 91 '%s' && exiftool -q -overwrite_original "
                    "-DateTimeOriginal='2009:05:17 12:00:00' '%s'",
                    width, width * 3 / 4, seed.c_str(), seed.c_str());
      if (!trevalo::bench::RunCommand(command)) {
        std::fprintf(stderr, "the phone photo could not be made (ImageMagick, exiftool)\n");
        std::exit(1);
      }
    }
    return PhotoCopies(Folder() + "/phone_photos_" + std::to_string(width) + "_" +
                           std::to_string(PhonePhotoCount()),
                       seed, PhonePhotoCount());
  }();
  return photos;
}

QString Cli() {
  const char* given = std::getenv("TREVALO_CLI");
  return given != nullptr ? QString::fromLocal8Bit(given)
                          : QCoreApplication::applicationDirPath() + QStringLiteral("/trevalo-cli");
}

// Runs the program with its output thrown away; false when it does not exit with 0.
bool Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  QStringList environment = QProcess::systemEnvironment();
  environment << QStringLiteral("TREVALO_HOME=") + QString::fromStdString(Folder() + "/home");
  process.setEnvironment(environment);
  process.start();
  return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

QStringList GeotagArguments() {
  return {QStringLiteral("geotag"), QStringLiteral("--log"), LogFile(), QStringLiteral("--zone"),
          QStringLiteral("0")};
}

// A fresh, empty folder for the copies, with what earlier runs wrote on the disk, so that
// no run pays for another's.
QString FreshOutputFolder(benchmark::State& state) {
  state.PauseTiming();
  const std::string folder = Folder() + "/geotag_out";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  trevalo::bench::RunCommand("sync");
  state.ResumeTiming();
  return QString::fromStdString(folder);
}

void BM_ReadExif(benchmark::State& state) {
  const QStringList& photos = SmallPhotos();
  for (auto _ : state) {
    for (const QString& photo : photos) {
      if (!trevalo::ReadPhotoMetadata(photo).read) {
        state.SkipWithError("a photo could not be read");
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * photos.size());
}

void BM_DryRun(benchmark::State& state) {
  std::filesystem::create_directories(Folder() + "/geotag_out");
  const QStringList arguments = GeotagArguments() +
                                QStringList{QStringLiteral("--dry-run"), QStringLiteral("--out"),
                                            QString::fromStdString(Folder() + "/geotag_out")} +
                                SmallPhotos();
  for (auto _ : state) {
    if (!Run(Cli(), arguments)) {
      state.SkipWithError("trevalo-cli geotag failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * SmallPhotos().size());
}

std::int64_t PhoneBytes() {
  std::int64_t total = 0;
  for (const QString& photo : PhonePhotos()) {
    total += static_cast<std::int64_t>(std::filesystem::file_size(photo.toStdString()));
  }
  return total;
}

void BM_CopyPhonePhotos(benchmark::State& state) {
  for (auto _ : state) {
    const QString out = FreshOutputFolder(state);
    if (!Run(QStringLiteral("cp"), QStringList{QStringLiteral("-t"), out} + PhonePhotos())) {
      state.SkipWithError("cp failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * PhoneBytes());
}

void BM_GeotagPhonePhotos(benchmark::State& state) {
  for (auto _ : state) {
    const QString out = FreshOutputFolder(state);
    if (!Run(Cli(),
             GeotagArguments() + QStringList{QStringLiteral("--out"), out} + PhonePhotos())) {
      state.SkipWithError("trevalo-cli geotag failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * PhoneBytes());
}

BENCHMARK(BM_ReadExif)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_DryRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_CopyPhonePhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_GeotagPhonePhotos)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  std::printf("trevalo-cli: %s\n", Cli().toLocal8Bit().constData());
  // Made before the timing; the small photos read once, so that every run finds them in the
  // cache (the phone photos may not fit in it).
  for (const QString& photo : SmallPhotos()) {
    trevalo::bench::ReadWholeFile(photo.toStdString());
  }
  std::printf("%lld phone photos, %.2f GB\n", static_cast<long long>(PhonePhotos().size()),
              static_cast<double>(PhoneBytes()) / 1e9);
  // The floor of the dry run is reading the EXIF data; that of tagging, `cp`.
  trevalo::bench::ComparingReporter reporter("BM_ReadExif", "BM_CopyPhonePhotos");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
