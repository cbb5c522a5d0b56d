#pragma once
// The database file of a library folder as several programs share it: read without a
// lock (it is only ever replaced whole, by a rename), changed under an exclusive lock
// that every change takes, and never written over when it could not be read or was not
// all understood without first keeping a copy of it.

#include <chrono>
#include <vector>

#include <QByteArray>
#include <QString>

#include "files/file_identity.h"
#include "library/log_database.h"

namespace trevalo {

struct DatabaseFile {
  bool exists = false;
  // The file exists but could not be read: no change may be saved over it.
  QString readProblem;
  QByteArray bytes;
  ParsedDatabase parsed;
  FileStamp stamp;  // of the file as it was read
};

// Reads the database file at `path`. A missing file is an empty, sound library.
DatabaseFile ReadDatabaseFile(const QString& path);

// An exclusive hold on a library folder's database, across processes, for one change.
// Taken on the folder (or, where folders cannot be locked, on a hidden lock file in it);
// the system lets it go when the process ends, however it ends.
class LibraryLock {
 public:
  LibraryLock(const QString& folder, std::chrono::milliseconds wait);
  ~LibraryLock();
  LibraryLock(const LibraryLock&) = delete;
  LibraryLock& operator=(const LibraryLock&) = delete;
  bool locked() const { return fd_ >= 0; }
  // Why the lock could not be taken.
  const QString& problem() const { return problem_; }

 private:
  int fd_ = -1;
  QString problem_;
};

struct DatabaseWrite {
  QString problem;   // empty when the file was written
  QString keptCopy;  // the copy kept of a damaged or older file before it was replaced
};

// Replaces the database in `folder` with `records`, the lock being held. When the file
// read before (`before`) was in the older format, it is kept as "Wayfable_Logs.DB.bak";
// when it was damaged, as "Wayfable_Logs.DB.damaged-<date>-<time>" beside it; the new
// file is written only once that copy is.
DatabaseWrite WriteDatabaseFile(const QString& folder, const DatabaseFile& before,
                                const std::vector<LogRecord>& records);

}  // namespace trevalo
