#pragma once
// Copying the logger's logs into the log library. Each log is copied to a temporary file
// in the library folder first; an older copy of the same name is replaced only once the
// new copy is complete, so a failed copy loses nothing.

#include <vector>

#include <QString>
#include <QStringList>

#include "track/progress.h"

namespace trevalo {

class LogLibrary;

// The logger's logs: the "*.log" files (any case) of its "GPS" folder (any case), and the
// "*.nmea" and "*.gpx" files other devices leave there, by name.
QStringList LoggerLogFiles(const QString& drive);

struct ImportOptions {
  int timeZone = 0;                // the zone the imported logs are added with
  bool deleteAfterImport = false;  // delete each log from the logger once it is in the library
};

struct ImportedLog {
  QString source;
  QString destination;
  bool copied = false;
  bool added = false;    // in the library (a log without valid times is not)
  bool deleted = false;  // removed from the logger
  QString problem;       // what went wrong, empty when nothing did
  QString notice;        // where a copy of a damaged library file was kept
};

struct ImportResult {
  std::vector<ImportedLog> logs;
  QString problem;  // the library folder could not be made: nothing was imported
  int copiedCount() const;
  int failedCount() const;  // logs with a problem
};

// Imports every log of the logger at `drive` into `library` (in its folder). Progress is
// told before each file and once at the end.
ImportResult ImportLogs(const QString& drive, LogLibrary& library, const ImportOptions& options,
                        const Progress& progress = {});

}  // namespace trevalo
