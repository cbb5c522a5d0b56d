#include "device/log_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

#include <QDir>
#include <QFileInfo>

#include "device/logger_detection.h"
#include "files/atomic_file.h"
#include "files/file_identity.h"
#include "files/native_files.h"
#include "files/native_path.h"
#include "library/log_library.h"

namespace trevalo {
namespace {

// Copies `source` to `destination` through a temporary file beside it; the modification
// time goes with the bytes. An existing `destination` (the library's older copy) is
// replaced only when the whole copy is on disk. Returns the empty text, or why not.
QString CopyReplacing(const QString& source, const QString& destination) {
  QString problem;
  const int from = OpenRegularFile(source, problem);
  if (from < 0) {
    return QStringLiteral("cannot read %1: %2").arg(source, problem);
  }
  struct stat status {};
  if (::fstat(from, &status) != 0) {
    problem = QStringLiteral("cannot read %1: %2").arg(source, SystemReason());
  } else {
    AtomicFile copy(destination, AtomicFile::Existing::kReplaceAsNew);
    if (copy.fd() < 0) {
      problem = copy.openProblem();
    } else if (!CopyRange(from, 0, static_cast<std::uint64_t>(status.st_size), copy.fd())) {
      problem = QStringLiteral("cannot copy %1 to %2: %3").arg(source, destination, SystemReason());
    } else {
      const timespec times[2] = {status.st_atim, status.st_mtim};
      ::futimens(copy.fd(), times);  // a copy without the logger's time is still a good copy
      problem = copy.Commit(true);
    }
  }
  ::close(from);
  return problem;
}

// Deletes a log from the logger; the empty text, or why not.
QString DeleteFromLogger(const QString& path) {
  const QByteArray name = NativePath(path);
  // The logger may mark its files read-only; the owner may write them after all.
  struct stat status {};
  if (::stat(name.constData(), &status) == 0) {
    ::chmod(name.constData(), (status.st_mode & 07777) | S_IWUSR);
  }
  if (::unlink(name.constData()) != 0) {
    return QStringLiteral("cannot delete %1 from the logger: %2").arg(path, SystemReason());
  }
  return {};
}

}  // namespace

QStringList LoggerLogFiles(const QString& drive) {
  const QString folder = LoggerPath(drive, QStringLiteral("GPS"));
  QStringList names = FolderEntries(folder);
  // Beside its own "*.log", files other loggers and apps leave there: NMEA logs and GPX
  // tracks.
  const auto isLog = [](const QString& name) {
    for (const QLatin1StringView suffix :
         {QLatin1StringView(".log"), QLatin1StringView(".nmea"), QLatin1StringView(".gpx")}) {
      if (name.endsWith(suffix, Qt::CaseInsensitive)) {
        return true;
      }
    }
    return false;
  };
  names.removeIf(
      [&](const QString& name) { return !isLog(name) || IsFolder(folder + u'/' + name); });
  std::ranges::stable_sort(names, [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  QStringList files;
  for (const QString& name : names) {
    files.append(folder + u'/' + name);
  }
  return files;
}

int ImportResult::copiedCount() const {
  return static_cast<int>(
      std::ranges::count_if(logs, [](const ImportedLog& l) { return l.copied; }));
}

int ImportResult::failedCount() const {
  return static_cast<int>(
      std::ranges::count_if(logs, [](const ImportedLog& l) { return !l.problem.isEmpty(); }));
}

ImportResult ImportLogs(const QString& drive, LogLibrary& library, const ImportOptions& options,
                        const Progress& progress) {
  ImportResult result;
  if (!MakeFolders(library.folder())) {
    result.problem = QStringLiteral("cannot create the library folder %1").arg(library.folder());
    return result;
  }
  const QStringList sources = LoggerLogFiles(drive);
  if (!sources.isEmpty() && SameFile(QFileInfo(sources.front()).absolutePath(), library.folder())) {
    // Copying each log onto itself and deleting it would leave nothing.
    result.problem = QStringLiteral(
                         "the library folder %1 is the logger's own log folder: "
                         "nothing is imported")
                         .arg(library.folder());
    return result;
  }
  for (qsizetype k = 0; k < sources.size(); ++k) {
    ImportedLog log;
    log.source = sources[k];
    const QString name = QFileInfo(log.source).fileName();
    log.destination = QDir(library.folder()).filePath(name);
    if (progress) {
      progress(static_cast<std::size_t>(k), static_cast<std::size_t>(sources.size()), name);
    }
    if (SameFile(log.source, log.destination)) {
      log.problem = QStringLiteral("%1 is the library's copy itself: not imported").arg(log.source);
      result.logs.push_back(std::move(log));
      continue;
    }
    log.problem = CopyReplacing(log.source, log.destination);
    log.copied = log.problem.isEmpty();
    if (log.copied) {
      // The new copy takes the place of the older copy's entry, with the zone.
      const LogLibrary::Change change = library.ReplaceLog(log.destination, options.timeZone);
      log.added = change.done();
      log.notice = change.notice;
      if (change.result == LogLibrary::ChangeResult::kNoTimes) {
        log.problem =
            QStringLiteral("%1 holds no valid times: it was copied but not added to the library")
                .arg(log.destination);
      } else if (!log.added) {
        log.problem = QStringLiteral("%1 was copied but the library could not record it: %2")
                          .arg(log.destination, change.problem);
      } else if (options.deleteAfterImport) {
        // Only what the saved library holds leaves the logger.
        log.problem = DeleteFromLogger(log.source);
        log.deleted = log.problem.isEmpty();
      }
    }
    result.logs.push_back(std::move(log));
  }
  if (progress) {
    progress(static_cast<std::size_t>(sources.size()), static_cast<std::size_t>(sources.size()),
             {});
  }
  return result;
}

}  // namespace trevalo
