#include "geotag_support.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bench_support.h"

namespace trevalo::bench {
namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// The TREVALO_HOME of the program's runs.
std::string HomeFolder() {
  return DataFolder() + "/home";
}

}  // namespace

QStringList PhotoCopies(const std::string& folder, const std::string& seed, int count,
                        TimeValue first, int step) {
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
      const CalendarFields f = *BreakDown(first + TimeValue{i} * step);
      char text[32];
      std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", f.year, f.month, f.day,
                    f.hour, f.minute, f.second);
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

std::string SmallSeedPhoto() {
  return std::string(TREVALO_SOURCE_DIR) + "/fuzz/corpus/exif_file/le.jpg";
}

std::string PhoneSeedPhoto(int width) {
  const std::string seed = DataFolder() + "/phone_seed_" + std::to_string(width) + ".jpg";
  if (!std::filesystem::exists(seed)) {
    char command[1024];
    std::snprintf(command, sizeof command,
                  "convert -seed 7 -size %dx%d plasma:fractal -attenuate 0.25 +noise Gaussian "
                  "-quality 91 '%s' && exiftool -q -overwrite_original "
                  "-DateTimeOriginal='2009:05:17 12:00:00' '%s'",
                  width, width * 3 / 4, seed.c_str(), seed.c_str());
    if (!RunCommand(command)) {
      std::fprintf(stderr, "the phone photo could not be made (ImageMagick, exiftool)\n");
      std::exit(1);
    }
  }
  return seed;
}

QString Cli() {
  const char* given = std::getenv("TREVALO_CLI");
  return given != nullptr ? QString::fromLocal8Bit(given)
                          : QCoreApplication::applicationDirPath() + QStringLiteral("/trevalo-cli");
}

bool RunQuietly(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  QStringList environment = QProcess::systemEnvironment();
  environment << QStringLiteral("TREVALO_HOME=") + QString::fromStdString(HomeFolder());
  process.setEnvironment(environment);
  process.start();
  return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

std::string PointsCacheFolder() {
  return HomeFolder() + "/points";
}

void EmptyFolder(const std::string& folder) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  RunCommand("sync");
}

}  // namespace trevalo::bench
