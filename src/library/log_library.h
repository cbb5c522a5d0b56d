#pragma once
// The log library in memory: every log the user has added, in library order (earlier start
// first; of two with the same start the longer first), with its database file.
//
// A log whose file is missing or unreadable when the library loads (a log on a drive that
// is not mounted, say) keeps its record and is listed as unavailable; it takes part in
// nothing else until its file is back or the user removes it. A readable log without valid
// times leaves the library.

#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "core/gps_log.h"
#include "library/log_database.h"

namespace trevalo {

class LogLibrary {
 public:
  // A library in `folder` ("<documents>/Wayfable Logs"): detects the database format,
  // loads it and saves it again in the current format. `summerTimeOffset` is 100 while the
  // summer-time option is on, else 0.
  LogLibrary(QString folder, int summerTimeOffset);
  // A library in memory only, of the given logs; it never touches a database file.
  static LogLibrary InMemory(const std::vector<LogRecord>& records, int summerTimeOffset);

  const QString& folder() const { return folder_; }
  QString databasePath() const;
  std::size_t size() const { return logs_.size(); }
  bool empty() const { return logs_.empty(); }
  GPSLog& log(std::size_t index) { return *logs_[index]; }
  const GPSLog& log(std::size_t index) const { return *logs_[index]; }
  // The records whose files could not be read, in their order in the database.
  const std::vector<LogRecord>& unavailable() const { return unavailable_; }
  // The index of the log with this path (case ignored).
  std::optional<std::size_t> Find(const QString& path) const;
  // Any record, available or not, with this path (case ignored).
  bool Contains(const QString& path) const;

  enum class AddResult { kAdded, kAlreadyThere, kNoTimes };
  // Adds a log with an empty comment, saves the library.
  AddResult AddLog(const QString& path, int colorIndex, int lineWidthIndex, int timeZone);
  // Removes the log or unavailable record with this path (case ignored), saves.
  bool RemoveLogByPath(const QString& path);
  // Removes logs by index, saves.
  void RemoveLogs(std::vector<std::size_t> indices);
  // Stores a log's information (double quotes in the comment become apostrophes), saves
  // and reloads the library so that a new zone takes effect.
  void EditLogInfo(std::size_t index, int colorIndex, int lineWidthIndex, QString comment,
                   int timeZone);
  int summerTimeOffset() const { return summerTimeOffset_; }
  // Sets the summer-time offset (100 or 0), saves and reloads the library.
  void SetSummerTimeOffset(int offset);

  // Writes the database through a temporary file and a rename. Returns the empty text on
  // success, else why not (the file is then left as it was).
  QString Save() const;
  // Recreates every log from the library's records.
  void Reload();
  // Why the last load or save had trouble, for messages; empty when it had none.
  const QString& lastProblem() const { return lastProblem_; }

  // The logs the last map, chart, export or lookup operation worked on.
  const std::vector<std::size_t>& activeLogs() const { return activeLogs_; }
  void ClearActiveLogs() { activeLogs_.clear(); }
  void AddActiveLog(std::size_t index);

  // Keeps the points of one log loaded for the photo lookup, releasing the log held before
  // when `held` moves to another log; nullopt releases whatever is held.
  void HoldLog(std::optional<std::size_t> index);
  std::optional<std::size_t> heldLog() const { return heldLog_; }
  // Makes a log the held one and loads its points, for a walk over the selection (the log
  // held before is released). When they cannot be loaded, adds "path: reason" to
  // `problems` (once) and returns false; the log then has no points.
  bool LoadHeld(std::size_t index, QStringList& problems);

  // Every record, available logs in library order then the unavailable ones.
  std::vector<LogRecord> Records() const;

 private:
  LogLibrary(QString folder, int summerTimeOffset, bool persistent);
  void Load(const std::vector<LogRecord>& records);
  void Insert(std::unique_ptr<GPSLog> log);
  void SaveAndNote();

  QString folder_;
  bool persistent_ = true;
  int summerTimeOffset_ = 0;
  std::vector<std::unique_ptr<GPSLog>> logs_;
  std::vector<LogRecord> unavailable_;
  std::vector<std::size_t> activeLogs_;
  std::optional<std::size_t> heldLog_;
  QString lastProblem_;
};

// The text of a log's line width in the log list: "8  Pixel".
QString LineWidthText(int lineWidthIndex);

}  // namespace trevalo
