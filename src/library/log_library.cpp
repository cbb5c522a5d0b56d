#include "library/log_library.h"

#include <unistd.h>
#include <algorithm>
#include <cstdio>

#include <QFile>
#include <QSet>

#include "app/palette.h"
#include "core/atomic_file.h"
#include "core/native_files.h"
#include "core/native_path.h"

namespace trevalo {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile file;
  return OpenForReading(file, path).isEmpty() ? file.readAll() : QByteArray();
}

// Library order: a log goes before `other` when it starts earlier, or at the same time
// and lasts longer.
bool GoesBefore(const GPSLog& log, const GPSLog& other) {
  if (log.utcStart() != other.utcStart()) {
    return log.utcStart() < other.utcStart();
  }
  return log.localEnd() - log.localStart() > other.localEnd() - other.localStart();
}

}  // namespace

LogLibrary::LogLibrary(QString folder, int summerTimeOffset, bool persistent)
    : folder_(std::move(folder)), persistent_(persistent), summerTimeOffset_(summerTimeOffset) {}

LogLibrary::LogLibrary(QString folder, int summerTimeOffset)
    : LogLibrary(std::move(folder), summerTimeOffset, true) {
  MakeFolders(folder_);
  const QString current = databasePath();
  const QByteArray bytes = ReadAll(current);
  if (DetectDatabaseFormat(bytes) == DatabaseFormat::kOlder) {
    // The older file is kept as .bak and read from there; the library is then saved in the
    // current format.
    const QString older = folder_ + u'/' + kOlderDatabaseFileName;
    ::unlink(NativePath(older).constData());
    if (::rename(NativePath(current).constData(), NativePath(older).constData()) == 0) {
      Load(ParseDatabase(ReadAll(older), DatabaseFormat::kOlder));
    } else {
      lastProblem_ = QStringLiteral("%1: cannot be renamed to %2").arg(current, older);
      Load(ParseDatabase(bytes, DatabaseFormat::kOlder));
    }
  } else {
    Load(ParseDatabase(bytes, DatabaseFormat::kCurrent));
  }
  SaveAndNote();
}

LogLibrary LogLibrary::InMemory(const std::vector<LogRecord>& records, int summerTimeOffset) {
  LogLibrary library(QString(), summerTimeOffset, false);
  library.Load(records);
  return library;
}

QString LogLibrary::databasePath() const {
  return folder_ + u'/' + kDatabaseFileName;
}

void LogLibrary::Load(const std::vector<LogRecord>& records) {
  HoldLog(std::nullopt);
  logs_.clear();
  unavailable_.clear();
  activeLogs_.clear();
  QSet<QString> seen;
  seen.reserve(static_cast<qsizetype>(records.size()));
  for (const LogRecord& record : records) {
    const QString key = record.filePath.toCaseFolded();
    if (seen.contains(key)) {
      continue;  // one entry per path
    }
    seen.insert(key);
    auto log = std::make_unique<GPSLog>(record.filePath, std::max(record.colorIndex, 0),
                                        std::max(record.lineWidthIndex, 0), record.comment,
                                        record.timeZone, summerTimeOffset_);
    if (log->hasTimes()) {
      logs_.push_back(std::move(log));
    } else if (!log->fileReadable()) {
      unavailable_.push_back(record);
    }
  }
  // Stable: logs in the same place of the order keep the order of their records.
  std::stable_sort(logs_.begin(), logs_.end(),
                   [](const std::unique_ptr<GPSLog>& a, const std::unique_ptr<GPSLog>& b) {
                     return GoesBefore(*a, *b);
                   });
}

void LogLibrary::Insert(std::unique_ptr<GPSLog> log) {
  const auto at =
      std::find_if(logs_.begin(), logs_.end(),
                   [&](const std::unique_ptr<GPSLog>& other) { return GoesBefore(*log, *other); });
  logs_.insert(at, std::move(log));
}

std::optional<std::size_t> LogLibrary::Find(const QString& path) const {
  for (std::size_t i = 0; i < logs_.size(); ++i) {
    if (logs_[i]->filePath().compare(path, Qt::CaseInsensitive) == 0) {
      return i;
    }
  }
  return std::nullopt;
}

bool LogLibrary::Contains(const QString& path) const {
  return Find(path).has_value() ||
         std::any_of(unavailable_.begin(), unavailable_.end(), [&](const LogRecord& r) {
           return r.filePath.compare(path, Qt::CaseInsensitive) == 0;
         });
}

LogLibrary::AddResult LogLibrary::AddLog(const QString& path, int colorIndex, int lineWidthIndex,
                                         int timeZone) {
  if (Contains(path)) {
    return AddResult::kAlreadyThere;
  }
  auto log = std::make_unique<GPSLog>(path, colorIndex, lineWidthIndex, QString(), timeZone,
                                      summerTimeOffset_);
  if (!log->hasTimes()) {
    return AddResult::kNoTimes;
  }
  HoldLog(std::nullopt);
  activeLogs_.clear();
  Insert(std::move(log));
  SaveAndNote();
  return AddResult::kAdded;
}

bool LogLibrary::RemoveLogByPath(const QString& path) {
  if (const std::optional<std::size_t> index = Find(path)) {
    RemoveLogs({*index});
    return true;
  }
  const auto record = std::find_if(
      unavailable_.begin(), unavailable_.end(),
      [&](const LogRecord& r) { return r.filePath.compare(path, Qt::CaseInsensitive) == 0; });
  if (record == unavailable_.end()) {
    return false;
  }
  unavailable_.erase(record);
  SaveAndNote();
  return true;
}

void LogLibrary::RemoveLogs(std::vector<std::size_t> indices) {
  HoldLog(std::nullopt);
  activeLogs_.clear();
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  for (auto index = indices.rbegin(); index != indices.rend(); ++index) {
    if (*index < logs_.size()) {
      logs_.erase(logs_.begin() + static_cast<std::ptrdiff_t>(*index));
    }
  }
  SaveAndNote();
}

void LogLibrary::EditLogInfo(std::size_t index, int colorIndex, int lineWidthIndex, QString comment,
                             int timeZone) {
  GPSLog& edited = *logs_.at(index);
  edited.setColorIndex(colorIndex);
  edited.setLineWidthIndex(lineWidthIndex);
  edited.setComment(comment.replace(u'"', u'\''));
  edited.setTimeZone(timeZone);
  SaveAndNote();
  Reload();
}

void LogLibrary::SetSummerTimeOffset(int offset) {
  summerTimeOffset_ = offset;
  SaveAndNote();
  Reload();
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

void LogLibrary::Reload() {
  Load(Records());
}

QString LogLibrary::Save() const {
  if (!persistent_) {
    return {};
  }
  QString problem;
  const std::optional<QByteArray> bytes = SerializeDatabase(Records(), &problem);
  if (!bytes) {
    return QStringLiteral("%1 is not saved: %2").arg(databasePath(), problem);
  }
  MakeFolders(folder_);
  return WriteFileAtomically(
      databasePath(),
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                    static_cast<std::size_t>(bytes->size())),
      true);
}

void LogLibrary::SaveAndNote() {
  if (const QString problem = Save(); !problem.isEmpty()) {
    lastProblem_ = problem;
  }
}

void LogLibrary::AddActiveLog(std::size_t index) {
  if (std::find(activeLogs_.begin(), activeLogs_.end(), index) == activeLogs_.end()) {
    activeLogs_.push_back(index);
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
