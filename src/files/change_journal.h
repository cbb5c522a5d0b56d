#pragma once
// The undo journal of a run that changes files the user already had (photos tagged in
// place, sidecars written beside them): what each file held before, kept before the file is
// changed, so that the run can be taken back exactly.
//
// A run's journal is a folder of its own under the journals' folder, named for the time it
// started. Before a file is changed, its whole content (or the fact that it did not exist)
// reaches the disk there, with a line in the folder's `entries` list; after the change, a
// second line records what the file holds now, and the kept copy shrinks to the part of the
// old content that differs from the new (a photo tagged in place differs only in its first
// segments: the image data after them is shared). A run killed at any point leaves each file
// as it was, changed with its old content kept, or changed with its copy kept whole: undo
// restores each of them.
//
// The old content is kept under a second name (a hard link) where the file system allows:
// the program's writers never change a file where it is but rename a new one over it
// (AtomicFile), so the old content stays as it was under that name.
//
// While the run goes on, its folder is locked (flock); undo leaves a locked run alone.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace trevalo {

// The journals are kept within this many bytes: after each run the oldest go first, never
// the newest.
inline constexpr std::int64_t kJournalLimitBytes = 1024LL * 1024 * 1024;

// The journals' folder in the folder of what the program keeps (AppFolders::stateFolder).
QString JournalsFolder(const QString& stateFolder);

class ChangeJournal {
 public:
  // Starts the journal of a run described by `description` (the command, say). Null with
  // `problem` set when its folder cannot be made.
  static std::unique_ptr<ChangeJournal> Begin(const QString& journalsFolder,
                                              const QString& description, QString& problem);
  ~ChangeJournal();
  ChangeJournal(const ChangeJournal&) = delete;
  ChangeJournal& operator=(const ChangeJournal&) = delete;

  const QString& folder() const { return folder_; }

  // Before `path` is changed: keeps what it holds now (or that there is no file). Returns
  // the empty text when it is kept; otherwise why, and the file must not be changed. Safe
  // from several threads at once.
  QString Keep(const QString& path);
  // After `path` was changed (or the change failed): records what it holds now and keeps
  // only what is needed to restore it. Safe from several threads at once.
  void Changed(const QString& path);
  // Ends the run: unlocks it, removes it when it kept nothing, and drops the oldest runs
  // while the journals take more than `limitBytes`.
  void Finish(std::int64_t limitBytes = kJournalLimitBytes);

 private:
  ChangeJournal(QString folder, int lockFd);
  QString Append(const QByteArray& line, bool flushToDisk);

  struct Entry {
    QString path;
    QByteArray original;  // the content before the change, while it is needed
    bool existed = false;
  };

  QString folder_;
  int lockFd_ = -1;
  int entriesFd_ = -1;
  std::mutex mutex_;
  std::vector<Entry> entries_;
  QHash<QString, std::size_t> pathIndex_;  // the entries kept, by path
  bool finished_ = false;
};

// A run kept in the journals, newest first in JournalRuns.
struct JournalRun {
  QString folder;
  QString name;  // the folder's name: the run's start, sortable
  QDateTime started;
  QString description;
  int files = 0;           // files it changed (or was about to)
  std::int64_t bytes = 0;  // what its journal takes on disk
  bool running = false;    // still locked by the program that changes the files
};
std::vector<JournalRun> JournalRuns(const QString& journalsFolder);

struct UndoReport {
  QStringList restored;  // files put back as they were (sidecars the run made: removed)
  QStringList refused;   // "PATH: why" of files that were changed since, or could not be read
  QStringList failed;    // "PATH: why" of files that could not be written back
  bool removed = false;  // the journal is gone: every file is back or can never be
};
// Takes back the run of `folder`: each file is restored when it holds what the run left
// there; a file changed since by anything else is refused and named, the others are still
// restored. The journal is removed unless a file could not be written back (then an undo
// later tries again; files already restored are left as they are).
UndoReport UndoRun(const QString& folder);

}  // namespace trevalo
