// trevalo-cli geotag at the scale of a whole photo collection: a dry run of 20,000 photos
// beside reading their EXIF data once, and tagging 10,000 phone-size photos into a folder
// beside `cp` of the same files. The program run is TREVALO_CLI when set (to compare
// builds), else the one built beside this benchmark; TREVALO_THREADS is passed on.

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <filesystem>

#include "bench_support.h"
#include "geotag_support.h"
#include "photo/photo_metadata.h"
#include "support/log_generator.h"

namespace {

constexpr int kDryRunPhotos = 20000;

std::string Folder() {
  return trevalo::bench::DataFolder();
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

// One point a second from 2009-05-17 12:00:00 UTC, covering every photo.
const QString& LogFile() {
  static const QString path =
      QString::fromStdString(trevalo::bench::DataFile("geotag_walk.log", 1, [] {
        return trevalo::test::GenerateLog({.hour = 12, .epochs = 20000});
      }));
  return path;
}

// Photo i taken i seconds after 12:00:00 UTC.
QStringList CopiesASecondApart(const std::string& folder, const std::string& seed, int count) {
  return trevalo::bench::PhotoCopies(folder, seed, count, *trevalo::MakeTime(2009, 5, 17, 12, 0, 0),
                                     1);
}

const QStringList& SmallPhotos() {
  static const QStringList photos = CopiesASecondApart(
      Folder() + "/dry_run_photos", trevalo::bench::SmallSeedPhoto(), kDryRunPhotos);
  return photos;
}

const QStringList& PhonePhotos() {
  static const QStringList photos = [] {
    const int width = PhonePhotoWidth();
    const std::string seed = trevalo::bench::PhoneSeedPhoto(width);
    return CopiesASecondApart(Folder() + "/phone_photos_" + std::to_string(width) + "_" +
                                  std::to_string(PhonePhotoCount()),
                              seed, PhonePhotoCount());
  }();
  return photos;
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
  trevalo::bench::EmptyFolder(folder);
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
    if (!trevalo::bench::RunQuietly(trevalo::bench::Cli(), arguments)) {
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
    if (!trevalo::bench::RunQuietly(QStringLiteral("cp"),
                                    QStringList{QStringLiteral("-t"), out} + PhonePhotos())) {
      state.SkipWithError("cp failed");
      return;
    }
  }
  state.SetBytesProcessed(state.iterations() * PhoneBytes());
}

void BM_GeotagPhonePhotos(benchmark::State& state) {
  for (auto _ : state) {
    const QString out = FreshOutputFolder(state);
    if (!trevalo::bench::RunQuietly(
            trevalo::bench::Cli(),
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
  std::printf("trevalo-cli: %s\n", trevalo::bench::Cli().toLocal8Bit().constData());
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
