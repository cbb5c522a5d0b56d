#pragma once
// Joins logs that do not overlap in time into one new log file that replaces them in the
// library. The sources stay on disk; they leave the library only once the merged log has
// been written and added.

#include <vector>

#include <QString>
#include <QStringList>

#include "files/file_names.h"
#include "library/log_library.h"

namespace trevalo {

struct MergePlan {
  bool timeConflict = false;   // a log starts or ends within the one before it
  bool discontinuous = false;  // the rows are not neighbours in the list
  QString proposedName;        // "M_0517" for a first log 0517.log
  int timeZone = 0;            // the zone of the first log, for the merged log
};

// Checks the logs at `rows` (library indices, in list order) before a merge.
MergePlan PrepareMerge(const LogLibrary& library, std::vector<std::size_t> rows);

// The merged log: each NMEA source from its first sentence start ('$' with a talker, "@TR"
// or "@QN") on, zero bytes left out, ended by CR LF when its last byte is no line feed; each
// source of another format (GPX) as GGA and RMC sentences of its points. `skipped` lists
// sources that could not be read (they contribute nothing).
QByteArray MergedLogBytes(const QStringList& sources, QStringList* skipped);

struct MergeOutcome {
  enum Result {
    kMerged,
    kTimeConflict,
    kOutputInLibrary,
    kWriteFailed,
    kNotAdded,  // the merged log would hold no usable time, or a source left the library
    kNotSaved,  // the library could not be saved: nothing changed
  } result;
  QString problem;      // a message for the failures
  QStringList skipped;  // sources that could not be read
  QString notice;       // where a copy of a damaged library file was kept
};

// The whole merge: checks, then, holding the library's lock, writes the merged file,
// adds it with the first log's zone and removes the sources in one save. A merged log
// without usable times is not written; when the library cannot be saved, a merged file
// that did not exist before is taken away again.
MergeOutcome MergeLogs(LogLibrary& library, const std::vector<std::size_t>& rows,
                       const QString& output);

}  // namespace trevalo
