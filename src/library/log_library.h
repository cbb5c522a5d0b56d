#pragma once
// The log library in memory: every log the user has added, in library order (earlier start
// first; of two with the same start the longer first), with its database file.
//
// The library is shared: the desktop app and any number of trevalo-cli processes may use
// one folder at once. Reading never writes. Each change takes the library's lock, reads
// the database afresh, applies itself to what the file holds now, and replaces the file
// whole; so no change of another program is lost, and the library in memory afterwards is
// the file as it now is. Refresh() picks up what others changed in between.
//
// A log whose file is missing or unreadable when the library loads (a log on a drive that
// is not mounted, say) keeps its record and is listed as unavailable; it takes part in
// nothing else until its file is back or the user removes it. A readable log without valid
// times leaves the library. A log is identified by its file, not by the spelling of its path
// (see FileIdentity).

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <unordered_map>

#include <QString>
#include <QStringList>

#include "files/file_identity.h"
#include "library/log_database.h"
#include "logs/gps_log.h"
#include "track/progress.h"

namespace trevalo {

struct DatabaseFile;

class LogLibrary {
 public:
  // A library in `folder` ("<documents>/Wayfable Logs"): reads its database, writes
  // nothing. `summerTimeOffset` is 100 while the summer-time option is on, else 0. Its logs
  // use `pointsCache` when given (see GPSLog).
  LogLibrary(QString folder, int summerTimeOffset,
             std::shared_ptr<const PointsCache> pointsCache = nullptr);
  // A library in memory only, of the given logs; it never touches a database file. Logs
  // the caller has scanned already (`scanned`) are taken instead of being scanned again
  // while their files are as they were.
  static LogLibrary InMemory(const std::vector<LogRecord>& records, int summerTimeOffset,
                             std::vector<std::unique_ptr<GPSLog>> scanned = {},
                             std::shared_ptr<const PointsCache> pointsCache = nullptr);
  LogLibrary(LogLibrary&&) noexcept;
  LogLibrary& operator=(LogLibrary&&) noexcept;
  ~LogLibrary();

  const QString& folder() const { return folder_; }
  QString databasePath() const;
  std::size_t size() const { return logs_.size(); }
  bool empty() const { return logs_.empty(); }
  GPSLog& log(std::size_t index) { return *logs_[index]; }
  const GPSLog& log(std::size_t index) const { return *logs_[index]; }
  // The records whose files could not be read, in their order in the database.
  const std::vector<LogRecord>& unavailable() const { return unavailable_; }
  // The index of the log of this file.
  std::optional<std::size_t> Find(const QString& path) const;
  // Any record, available or not, of this file.
  bool Contains(const QString& path) const;

  // What was wrong with the database file when it was last read: lines that were not
  // understood (they are no logs of the library), or a file that could not be read at all
  // (no change is then saved). Empty for a sound file.
  const QStringList& fileProblems() const { return fileProblems_; }
  // False when the database exists but could not be read: no change is then saved.
  bool databaseReadable() const { return databaseReadable_; }
  // Reads the database again when another program has changed it since it was last read
  // or written here. Returns true when it was read again (indices may then have moved).
  bool Refresh();

  enum class ChangeResult {
    kDone,          // in the database file
    kAlreadyThere,  // the log is in the library already
    kNotInLibrary,  // the log to change or remove is not (or no longer) in the library
    kNoTimes,       // the log holds no usable time
    kNotStorable,   // the database cannot hold the record (a quote, a path too long)
    kNotSaved,      // the database could not be read, locked or written: nothing changed
  };
  struct Change {
    ChangeResult result = ChangeResult::kDone;
    QString problem;  // why not, naming the file; empty when done
    // Said once a change is saved over a database that was damaged or in the older
    // format: where the copy of the old file was kept.
    QString notice;
    // kNoTimes: what the scan found, for the windows to say in the user's language.
    ScanProblem scanProblem = ScanProblem::kNone;
    bool done() const { return result == ChangeResult::kDone; }
  };
  struct NewLog {
    QString path;
    int colorIndex = 0;
    int lineWidthIndex = 0;
    int timeZone = 0;
  };

  // Adds a log with an empty comment and saves.
  Change AddLog(const QString& path, int colorIndex, int lineWidthIndex, int timeZone);
  // Adds several logs with one save; one result per log, in order. The logs are scanned
  // first (progress is told before each), outside the lock.
  std::vector<Change> AddLogs(const std::vector<NewLog>& logs, const Progress& progress = {});
  // Puts a log in the library as new (colour and width 0, empty comment) with `timeZone`,
  // in place of any entry of the same file: for a newer copy of a log imported before.
  // A copy without valid times leaves the library (the file under that entry has changed).
  Change ReplaceLog(const QString& path, int timeZone);
  // Removes the log or unavailable record of this file, saves.
  Change RemoveLogByPath(const QString& path);
  // Removes these files' logs or records with one save; kNotInLibrary when one of them is
  // in the library no more (the others are still removed).
  Change RemoveLogsByPath(const QStringList& paths);
  // Removes logs by index, saves.
  Change RemoveLogs(const std::vector<std::size_t>& indices);
  // Stores a log's information (double quotes in the comment become apostrophes) and
  // saves; a new zone takes effect at once.
  Change EditLogInfo(std::size_t index, int colorIndex, int lineWidthIndex, QString comment,
                     int timeZone);
  int summerTimeOffset() const { return summerTimeOffset_; }
  // Sets the summer-time offset (100 or 0) and recreates every log with it. The offset is
  // no part of the database, so nothing is written.
  void SetSummerTimeOffset(int offset);

  // The general change: `edit` works on the records the database holds now (library
  // order, unavailable records last) and returns false to leave it unchanged (setting
  // `change` to say why). After a successful save the library is the new file.
  using Edit = std::function<bool(std::vector<LogRecord>& records, Change& change)>;
  Change Transact(const Edit& edit);

  // The logs the last map, chart, export or lookup operation worked on.
  const std::vector<std::size_t>& activeLogs() const { return activeLogs_; }
  void ClearActiveLogs() { activeLogs_.clear(); }
  void AddActiveLog(std::size_t index);
  // The active logs as a pass that used `logs` in this order leaves them (each once, first
  // use first), for a pass that did its lookups in another order (of capture times, say).
  void SetActiveLogs(const std::vector<std::size_t>& logs);

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
  LogLibrary(QString folder, int summerTimeOffset, std::shared_ptr<const PointsCache> pointsCache,
             bool persistent);
  void LoadFile(const DatabaseFile& file);
  void Load(const std::vector<LogRecord>& records);
  // The index in Records() of the record of this file.
  std::optional<std::size_t> RecordIndex(const QString& path) const;
  std::unique_ptr<GPSLog> Scanned(const LogRecord& record, const FileStamp& stamp);

  QString folder_;
  bool persistent_ = true;
  int summerTimeOffset_ = 0;
  std::shared_ptr<const PointsCache> pointsCache_;
  std::vector<std::unique_ptr<GPSLog>> logs_;
  std::vector<QString> identities_;  // of logs_, by index
  std::vector<LogRecord> unavailable_;
  std::vector<QString> unavailableIdentities_;
  // Logs scanned before and not in the library now, by path, to be taken again by a load
  // while their files are unchanged.
  std::unordered_map<QString, std::unique_ptr<GPSLog>> scanned_;
  std::vector<std::size_t> activeLogs_;
  std::optional<std::size_t> heldLog_;
  QStringList fileProblems_;
  bool databaseReadable_ = true;
  FileStamp fileStamp_;
};

// The text of a log's line width in the log list: "8  Pixel".
QString LineWidthText(int lineWidthIndex);

}  // namespace trevalo
