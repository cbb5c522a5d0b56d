#pragma once
// Joins logs that do not overlap in time into one new log file that replaces them in the
// library. The sources stay on disk; they leave the library only once the merged log has
// been written and added.

#include <vector>

#include <QString>
#include <QStringList>

#include "core/file_names.h"
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

// Writes the merged log: each source from its first sentence start ("$GP", "@TR" or
// "@QN") on, zero bytes left out, ended by CR LF when its last byte is no line feed.
// Returns the empty text on success, else why not; `skipped` lists sources that could not
// be read (they contribute nothing).
QString WriteMergedLog(const QStringList& sources, const QString& output, QStringList* skipped);

struct MergeOutcome {
  enum Result { kMerged, kTimeConflict, kOutputInLibrary, kWriteFailed, kNotAdded } result;
  QString problem;      // a message for the failures
  QStringList skipped;  // sources that could not be read
};

// The whole merge: checks, writes the merged file, adds it with the first log's zone and
// only then removes the sources from the library.
MergeOutcome MergeLogs(LogLibrary& library, const std::vector<std::size_t>& rows,
                       const QString& output);

}  // namespace trevalo
