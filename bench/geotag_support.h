#pragma once
// What the benchmarks of trevalo-cli geotag share: copies of one dated photo taken at the
// times a benchmark needs, and the program run with its output thrown away.

#include <QString>
#include <QStringList>

#include <string>

#include "track/calendar_time.h"

namespace trevalo::bench {

// `count` copies of `seed`, whose capture time is "2009:05:17 12:00:00", in `folder`:
// IMG_00000.JPG taken at `first` (UTC), each next one `step` seconds later. Written once
// (a file "complete" marks a folder whose photos are all there).
QStringList PhotoCopies(const std::string& folder, const std::string& seed, int count,
                        TimeValue first, int step);

// The small camera photo of the source folder, dated "2009:05:17 12:00:00".
std::string SmallSeedPhoto();

// A photo as a phone takes it, `width` pixels wide (2,000: about 1.3 MB; 3,000: about
// 3 MB), dated "2009:05:17 12:00:00"; made once with ImageMagick and exiftool (the program
// ends when it cannot be made).
std::string PhoneSeedPhoto(int width);

// TREVALO_CLI when set (to compare builds), else the trevalo-cli built beside the benchmark.
QString Cli();

// Runs the program with its output thrown away and TREVALO_HOME in the data folder; false
// when it does not exit with 0.
bool RunQuietly(const QString& program, const QStringList& arguments);

// The cache of loaded logs of the program's runs (in their TREVALO_HOME).
std::string PointsCacheFolder();

// Empties `folder` (making it when missing) and flushes what earlier runs wrote, so that
// no run pays for another's. Call it with the timing paused.
void EmptyFolder(const std::string& folder);

}  // namespace trevalo::bench
