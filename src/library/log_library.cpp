#include "library/log_library.h"

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <unordered_set>

#include "files/native_files.h"
#include "library/library_file.h"
#include "shell/palette.h"

namespace trevalo {
namespace {

// How long a change waits for another program's change to finish.
constexpr std::chrono::seconds kLockWait{30};

// Library order: a log goes before `other` when it starts earlier, or at the same time
// and lasts longer.
bool GoesBefore(const GPSLog& log, const GPSLog& other) {
  if (log.utcStart() != other.utcStart()) {
    return log.utcStart() < other.utcStart();
  }
  return log.localEnd() - log.localStart() > other.localEnd() - other.localStart();
}

LogLibrary::Change Refused(LogLibrary::ChangeResult result, QString problem) {
  return {result, std::move(problem), {}};
}

}  // namespace

LogLibrary::LogLibrary(QString folder, int summerTimeOffset,
                       std::shared_ptr<const PointsCache> pointsCache, bool persistent)
    : folder_(std::move(folder)),
      persistent_(persistent),
      summerTimeOffset_(summerTimeOffset),
      pointsCache_(std::move(pointsCache)) {}

LogLibrary::LogLibrary(QString folder, int summerTimeOffset,
                       std::shared_ptr<const PointsCache> pointsCache)
    : LogLibrary(std::move(folder), summerTimeOffset, std::move(pointsCache), true) {
  const DatabaseFile file = ReadDatabaseFile(databasePath());
  if (!file.readProblem.isEmpty()) {
    fileProblems_ = {file.readProblem};
    databaseReadable_ = false;
    return;
  }
  LoadFile(file);
  scanned_.clear();
}

LogLibrary::LogLibrary(LogLibrary&&) noexcept = default;
LogLibrary& LogLibrary::operator=(LogLibrary&&) noexcept = default;
LogLibrary::~LogLibrary() = default;

LogLibrary LogLibrary::InMemory(const std::vector<LogRecord>& records, int summerTimeOffset,
                                std::vector<std::unique_ptr<GPSLog>> scanned,
                                std::shared_ptr<const PointsCache> pointsCache) {
  LogLibrary library(QString(), summerTimeOffset, std::move(pointsCache), false);
  for (std::unique_ptr<GPSLog>& log : scanned) {
    const QString path = log->filePath();
    library.scanned_[path] = std::move(log);
  }
  library.Load(records);
  library.scanned_.clear();
  return library;
}

QString LogLibrary::databasePath() const {
  return folder_ + u'/' + kDatabaseFileName;
}

void LogLibrary::LoadFile(const DatabaseFile& file) {
  Load(file.parsed.records);
  fileProblems_ = file.parsed.problems;
  databaseReadable_ = true;
  fileStamp_ = file.stamp;
}

std::unique_ptr<GPSLog> LogLibrary::Scanned(const LogRecord& record, const FileStamp& stamp) {
  const auto cached = scanned_.find(record.filePath);
  if (cached != scanned_.end()) {
    std::unique_ptr<GPSLog> log = std::move(cached->second);
    scanned_.erase(cached);
    // A scan stays good while the file and the zone it was made with are the same.
    if (stamp.exists && log->fileStamp() == stamp && log->timeZone() == record.timeZone &&
        log->summerTime() == summerTimeOffset_) {
      log->setColorIndex(std::max(record.colorIndex, 0));
      log->setLineWidthIndex(std::max(record.lineWidthIndex, 0));
      log->setComment(record.comment);
      return log;
    }
  }
  return std::make_unique<GPSLog>(record.filePath, std::max(record.colorIndex, 0),
                                  std::max(record.lineWidthIndex, 0), record.comment,
                                  record.timeZone, summerTimeOffset_, pointsCache_);
}

void LogLibrary::Load(const std::vector<LogRecord>& records) {
  HoldLog(std::nullopt);
  activeLogs_.clear();
  for (auto& log : logs_) {
    const QString path = log->filePath();
    scanned_[path] = std::move(log);
  }
  logs_.clear();
  unavailable_.clear();
  unavailableIdentities_.clear();
  std::vector<std::pair<std::unique_ptr<GPSLog>, QString>> loaded;
  std::unordered_set<QString> seen;
  for (const LogRecord& record : records) {
    const FileStamp stamp = StampOf(record.filePath);
    QString identity = FileIdentity(record.filePath, stamp);
    if (!seen.insert(identity).second) {
      continue;  // one entry per file
    }
    std::unique_ptr<GPSLog> log = Scanned(record, stamp);
    if (log->hasTimes()) {
      loaded.emplace_back(std::move(log), std::move(identity));
    } else if (!log->fileReadable()) {
      unavailable_.push_back(record);
      unavailableIdentities_.push_back(std::move(identity));
    }
  }
  // Stable: logs in the same place of the order keep the order of their records.
  std::stable_sort(loaded.begin(), loaded.end(),
                   [](const auto& a, const auto& b) { return GoesBefore(*a.first, *b.first); });
  identities_.clear();
  for (auto& [log, identity] : loaded) {
    logs_.push_back(std::move(log));
    identities_.push_back(std::move(identity));
  }
}

std::optional<std::size_t> LogLibrary::RecordIndex(const QString& path) const {
  const QString identity = FileIdentity(path);
  const auto log = std::find(identities_.begin(), identities_.end(), identity);
  if (log != identities_.end()) {
    return static_cast<std::size_t>(log - identities_.begin());
  }
  const auto record =
      std::find(unavailableIdentities_.begin(), unavailableIdentities_.end(), identity);
  if (record != unavailableIdentities_.end()) {
    return logs_.size() + static_cast<std::size_t>(record - unavailableIdentities_.begin());
  }
  return std::nullopt;
}

std::optional<std::size_t> LogLibrary::Find(const QString& path) const {
  const std::optional<std::size_t> index = RecordIndex(path);
  return index && *index < logs_.size() ? index : std::nullopt;
}

bool LogLibrary::Contains(const QString& path) const {
  return RecordIndex(path).has_value();
}

bool LogLibrary::Refresh() {
  if (!persistent_ || StampOf(databasePath()) == fileStamp_) {
    return false;
  }
  const DatabaseFile file = ReadDatabaseFile(databasePath());
  if (!file.readProblem.isEmpty()) {
    // What was read before stays shown; no change can be saved until the file reads.
    fileProblems_ = {file.readProblem};
    databaseReadable_ = false;
    fileStamp_ = StampOf(databasePath());
    return false;
  }
  LoadFile(file);
  scanned_.clear();
  return true;
}

LogLibrary::Change LogLibrary::Transact(const Edit& edit) {
  Change change;
  if (!persistent_) {
    std::vector<LogRecord> records = Records();
    if (edit(records, change)) {
      Load(records);
    }
    scanned_.clear();
    return change;
  }
  const auto notSaved = [&](const QString& problem) {
    scanned_.clear();
    return Refused(ChangeResult::kNotSaved, problem);
  };
  if (!MakeFolders(folder_)) {
    return notSaved(QStringLiteral("cannot create the library folder %1").arg(folder_));
  }
  const LibraryLock lock(folder_, kLockWait);
  if (!lock.locked()) {
    return notSaved(lock.problem());
  }
  // The change applies to the file as it is now, whatever others did since it was read.
  const DatabaseFile file = ReadDatabaseFile(databasePath());
  if (!file.readProblem.isEmpty()) {
    fileProblems_ = {file.readProblem};
    databaseReadable_ = false;
    return notSaved(file.readProblem + QStringLiteral("; the library is not changed"));
  }
  LoadFile(file);
  std::vector<LogRecord> records = Records();
  if (!edit(records, change)) {
    scanned_.clear();
    return change;
  }
  Load(records);
  const DatabaseWrite written = WriteDatabaseFile(folder_, file, Records());
  if (!written.problem.isEmpty()) {
    LoadFile(file);
    return notSaved(written.problem);
  }
  fileStamp_ = StampOf(databasePath());
  if (!written.keptCopy.isEmpty()) {
    change.notice =
        file.parsed.format == DatabaseFormat::kOlder
            ? QStringLiteral("%1 was in the older format; it was kept as %2")
                  .arg(databasePath(), written.keptCopy)
            : QStringLiteral(
                  "%1 had lines that could not be read (%2); a copy of it was kept "
                  "as %3 before it was saved")
                  .arg(databasePath(), fileProblems_.join(QStringLiteral("; ")), written.keptCopy);
  }
  fileProblems_.clear();
  scanned_.clear();
  return change;
}

std::vector<LogLibrary::Change> LogLibrary::AddLogs(const std::vector<NewLog>& logs,
                                                    const Progress& progress) {
  std::vector<Change> results(logs.size());
  // Scanned before the lock is taken: the scan reads the whole log.
  std::vector<bool> candidate(logs.size(), false);
  for (std::size_t k = 0; k < logs.size(); ++k) {
    const NewLog& added = logs[k];
    if (progress) {
      progress(k, logs.size(), added.path);
    }
    const LogRecord record{added.path, added.colorIndex, added.lineWidthIndex, {}, added.timeZone};
    if (Contains(added.path)) {
      results[k] = Refused(ChangeResult::kAlreadyThere,
                           QStringLiteral("%1: already in the library").arg(added.path));
      continue;
    }
    if (const QString problem = RecordProblem(record); !problem.isEmpty()) {
      results[k] = Refused(
          ChangeResult::kNotStorable,
          QStringLiteral("%1: not added: the library cannot hold it: %2").arg(added.path, problem));
      continue;
    }
    auto log = std::make_unique<GPSLog>(added.path, added.colorIndex, added.lineWidthIndex,
                                        QString(), added.timeZone, summerTimeOffset_, pointsCache_);
    if (!log->hasTimes()) {
      results[k] = Refused(ChangeResult::kNoTimes,
                           QStringLiteral("%1: not added: %2").arg(added.path, log->scanProblem()));
      results[k].scanProblem = log->scanProblemKind();
      continue;
    }
    scanned_[added.path] = std::move(log);
    candidate[k] = true;
  }
  if (progress) {
    progress(logs.size(), logs.size(), {});
  }
  if (std::none_of(candidate.begin(), candidate.end(), [](bool c) { return c; })) {
    scanned_.clear();
    return results;
  }
  const Change saved = Transact([&](std::vector<LogRecord>& records, Change&) {
    std::unordered_set<QString> added;
    bool any = false;
    for (std::size_t k = 0; k < logs.size(); ++k) {
      if (!candidate[k]) {
        continue;
      }
      const QString identity = FileIdentity(logs[k].path);
      if (RecordIndex(logs[k].path) || !added.insert(identity).second) {
        results[k] = Refused(ChangeResult::kAlreadyThere,
                             QStringLiteral("%1: already in the library").arg(logs[k].path));
        continue;
      }
      records.push_back(
          {logs[k].path, logs[k].colorIndex, logs[k].lineWidthIndex, {}, logs[k].timeZone});
      any = true;
    }
    return any;
  });
  for (std::size_t k = 0; k < logs.size(); ++k) {
    if (candidate[k] && results[k].done()) {
      results[k] = saved;
      if (!saved.done()) {
        results[k].problem = QStringLiteral("%1: not added: %2").arg(logs[k].path, saved.problem);
      }
    }
  }
  return results;
}

LogLibrary::Change LogLibrary::AddLog(const QString& path, int colorIndex, int lineWidthIndex,
                                      int timeZone) {
  return AddLogs({{path, colorIndex, lineWidthIndex, timeZone}}).front();
}

LogLibrary::Change LogLibrary::ReplaceLog(const QString& path, int timeZone) {
  const LogRecord record{path, 0, 0, {}, timeZone};
  if (const QString problem = RecordProblem(record); !problem.isEmpty()) {
    return Refused(ChangeResult::kNotStorable,
                   QStringLiteral("%1: cannot be kept in the library: %2").arg(path, problem));
  }
  auto log =
      std::make_unique<GPSLog>(path, 0, 0, QString(), timeZone, summerTimeOffset_, pointsCache_);
  const bool hasTimes = log->hasTimes();
  const QString scanProblem = log->scanProblem();
  if (hasTimes) {
    scanned_[path] = std::move(log);
  }
  Change change = Transact([&](std::vector<LogRecord>& records, Change&) {
    const std::optional<std::size_t> old = RecordIndex(path);
    if (old) {
      records.erase(records.begin() + static_cast<std::ptrdiff_t>(*old));
    }
    if (hasTimes) {
      records.push_back(record);
    }
    return hasTimes || old.has_value();
  });
  if (change.done() && !hasTimes) {
    return {ChangeResult::kNoTimes, QStringLiteral("%1: %2").arg(path, scanProblem), change.notice};
  }
  return change;
}

LogLibrary::Change LogLibrary::RemoveLogsByPath(const QStringList& paths) {
  return Transact([&](std::vector<LogRecord>& records, Change& change) {
    std::vector<std::size_t> gone;
    QStringList missing;
    for (const QString& path : paths) {
      if (const std::optional<std::size_t> index = RecordIndex(path)) {
        gone.push_back(*index);
      } else {
        missing << path;
      }
    }
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    for (auto index = gone.rbegin(); index != gone.rend(); ++index) {
      records.erase(records.begin() + static_cast<std::ptrdiff_t>(*index));
    }
    if (!missing.isEmpty()) {
      change =
          Refused(ChangeResult::kNotInLibrary,
                  QStringLiteral("%1: not in the library").arg(missing.join(QStringLiteral(", "))));
    }
    return !gone.empty();
  });
}

LogLibrary::Change LogLibrary::RemoveLogByPath(const QString& path) {
  return RemoveLogsByPath({path});
}

LogLibrary::Change LogLibrary::RemoveLogs(const std::vector<std::size_t>& indices) {
  QStringList paths;
  for (const std::size_t index : indices) {
    if (index < logs_.size()) {
      paths << logs_[index]->filePath();
    }
  }
  return paths.isEmpty() ? Change{} : RemoveLogsByPath(paths);
}

LogLibrary::Change LogLibrary::EditLogInfo(std::size_t index, int colorIndex, int lineWidthIndex,
                                           QString comment, int timeZone) {
  const QString path = logs_.at(index)->filePath();
  LogRecord edited{path, colorIndex, lineWidthIndex, comment.replace(u'"', u'\''), timeZone};
  if (const QString problem = RecordProblem(edited); !problem.isEmpty()) {
    return Refused(ChangeResult::kNotStorable,
                   QStringLiteral("%1: cannot be kept in the library: %2").arg(path, problem));
  }
  return Transact([&](std::vector<LogRecord>& records, Change& change) {
    const std::optional<std::size_t> at = RecordIndex(path);
    if (!at) {
      change = Refused(ChangeResult::kNotInLibrary,
                       QStringLiteral("%1: no longer in the library").arg(path));
      return false;
    }
    edited.filePath = records[*at].filePath;  // the spelling the database has
    records[*at] = edited;
    return true;
  });
}

void LogLibrary::SetSummerTimeOffset(int offset) {
  summerTimeOffset_ = offset;
  Load(Records());
  scanned_.clear();
}

std::vector<LogRecord> LogLibrary::Records() const {
  std::vector<LogRecord> records;
  records.reserve(logs_.size() + unavailable_.size());
  for (const auto& log : logs_) {
    records.push_back({log->filePath(), log->colorIndex(), log->lineWidthIndex(), log->comment(),
                       log->timeZone()});
  }
  records.insert(records.end(), unavailable_.begin(), unavailable_.end());
  return records;
}

void LogLibrary::AddActiveLog(std::size_t index) {
  if (std::find(activeLogs_.begin(), activeLogs_.end(), index) == activeLogs_.end()) {
    activeLogs_.push_back(index);
  }
}

void LogLibrary::SetActiveLogs(const std::vector<std::size_t>& logs) {
  activeLogs_.clear();
  for (const std::size_t index : logs) {
    AddActiveLog(index);
  }
}

void LogLibrary::HoldLog(std::optional<std::size_t> index) {
  if (heldLog_ && heldLog_ != index && *heldLog_ < logs_.size()) {
    logs_[*heldLog_]->ReleasePoints();
  }
  heldLog_ = index;
}

bool LogLibrary::LoadHeld(std::size_t index, QStringList& problems) {
  HoldLog(index);
  GPSLog& held = *logs_[index];
  if (held.LoadPoints()) {
    return true;
  }
  const QString problem = QStringLiteral("%1: %2").arg(held.filePath(), held.loadProblem());
  if (!problems.contains(problem)) {
    problems << problem;
  }
  return false;
}

QString LineWidthText(int lineWidthIndex) {
  return QStringLiteral("%1  Pixel").arg(LineWidthForIndex(lineWidthIndex));
}

}  // namespace trevalo
