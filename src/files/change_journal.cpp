#include "files/change_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include <QUrl>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "files/native_path.h"

#include <zlib.h>

namespace trevalo {
namespace {

constexpr char kRunFile[] = "run";
constexpr char kEntriesFile[] = "entries";
constexpr char kLockFile[] = "lock";
// What a journal says of its run, at most (a command's arguments may name thousands of
// photos).
constexpr qsizetype kLongestDescription = 300;

QString InFolder(const QString& folder, const QString& name) {
  return folder + u'/' + name;
}

QString KeptName(std::size_t n, const char* kind) {
  return QStringLiteral("%1.%2").arg(n).arg(QLatin1String(kind));
}

// What a file holds: its bytes, or that there is none.
struct FileState {
  bool exists = false;
  QByteArray bytes;
  std::int64_t modifiedNs = 0;
  QString problem;  // it is there but cannot be read
};

FileState ReadState(const QString& path) {
  FileState state;
  QString problem;
  const int fd = OpenRegularFile(path, problem);
  if (fd < 0) {
    if (errno != ENOENT) {
      state.problem = problem;
    }
    return state;
  }
  struct stat status {};
  if (::fstat(fd, &status) == 0) {
    state.modifiedNs =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
  }
  state.exists = true;
  constexpr qsizetype kBlock = 1 << 20;
  for (;;) {
    const qsizetype had = state.bytes.size();
    state.bytes.resize(had + kBlock);
    const ssize_t got = ::read(fd, state.bytes.data() + had, kBlock);
    if (got < 0 && errno == EINTR) {
      state.bytes.resize(had);
      continue;
    }
    if (got <= 0) {
      state.bytes.resize(had);
      if (got < 0) {
        state.exists = false;
        state.problem = QStringLiteral("cannot read %1: %2").arg(path, SystemReason());
      }
      break;
    }
    state.bytes.resize(had + got);
  }
  ::close(fd);
  return state;
}

// What tells a content from another: its length and CRC-32 (fast enough to be no cost beside
// reading the file; a file changed by anything else keeps both only by a one-in-four-billion
// chance).
QByteArray Digest(const QByteArray& bytes) {
  uLong crc = ::crc32(0L, Z_NULL, 0);
  for (qsizetype at = 0; at < bytes.size();) {
    const auto part = static_cast<uInt>(std::min<qsizetype>(bytes.size() - at, 1 << 30));
    crc = ::crc32(crc, reinterpret_cast<const Bytef*>(bytes.constData() + at), part);
    at += part;
  }
  return QByteArray::number(static_cast<qulonglong>(bytes.size())) + '-' +
         QByteArray::number(static_cast<qulonglong>(crc), 16);
}

std::span<const std::uint8_t> Bytes(const QByteArray& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
          static_cast<std::size_t>(bytes.size())};
}

// How many bytes at the end the two have in common.
qsizetype CommonEnd(const QByteArray& a, const QByteArray& b) {
  const qsizetype most = std::min(a.size(), b.size());
  qsizetype n = 0;
  // Whole blocks first (memcmp), then the bytes of the block where they part.
  constexpr qsizetype kBlock = 4096;
  while (n + kBlock <= most && std::memcmp(a.constData() + a.size() - n - kBlock,
                                           b.constData() + b.size() - n - kBlock, kBlock) == 0) {
    n += kBlock;
  }
  while (n < most && a[a.size() - 1 - n] == b[b.size() - 1 - n]) {
    ++n;
  }
  return n;
}

QByteArray EncodedPath(const QString& path) {
  return NativePath(path).toPercentEncoding("/");
}

QString DecodedPath(const QByteArray& field) {
  return PathFromNative(QByteArray::fromPercentEncoding(field));
}

// Removes a run's folder and what it holds (its files only: a journal holds no folders).
void RemoveRun(const QString& folder) {
  for (const QString& name : FolderEntries(folder)) {
    ::unlink(NativePath(InFolder(folder, name)).constData());
  }
  ::rmdir(NativePath(folder).constData());
}

// Locks a run's folder for its writer or for an undo; -1 when another holds it (or it
// cannot be opened).
int LockRun(const QString& folder, bool create) {
  const int fd = ::open(NativePath(InFolder(folder, QLatin1String(kLockFile))).constData(),
                        O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
  if (fd < 0) {
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// One file of a run as its entries list tells it.
struct JournalEntry {
  QString path;
  bool existed = false;
  QByteArray digest;  // of the content before the change
  std::int64_t modifiedNs = 0;
  bool done = false;  // the change was made and recorded
  bool existsAfter = false;
  QByteArray digestAfter;
  qsizetype sharedEnd = 0;  // bytes at the end the new content shares with the old
};

std::map<std::size_t, JournalEntry> ReadEntries(const QString& folder) {
  std::map<std::size_t, JournalEntry> entries;
  const FileState list = ReadState(InFolder(folder, QLatin1String(kEntriesFile)));
  QList<QByteArray> lines = list.bytes.split('\n');
  // Only whole lines count: a last line without its line end was cut off when the run was
  // killed (its file was not changed yet), and could name a shorter path than it meant.
  lines.removeLast();
  for (const QByteArray& line : lines) {
    const QList<QByteArray> f = line.split('\t');
    bool ok = f.size() >= 3;
    const std::size_t n = ok ? f[1].toULongLong(&ok) : 0;
    if (!ok) {
      continue;
    }
    if (f[0] == "keep" && f.size() == 6) {
      JournalEntry& e = entries[n];
      e.existed = f[2] == "file";
      e.digest = f[3];
      e.modifiedNs = f[4].toLongLong();
      e.path = DecodedPath(f[5]);
    } else if (f[0] == "done" && entries.contains(n) && f.size() == 5) {
      JournalEntry& e = entries[n];
      e.done = true;
      e.existsAfter = f[2] == "file";
      e.digestAfter = f[3];
      e.sharedEnd = f[4].toLongLong();
    }
  }
  return entries;
}

// Makes the names in a folder reach the disk.
void SyncFolder(const QString& folder) {
  if (const int fd = ::open(NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

void SetModified(const QString& path, std::int64_t modifiedNs) {
  if (modifiedNs <= 0) {
    return;
  }
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(modifiedNs / 1'000'000'000),
                              static_cast<long>(modifiedNs % 1'000'000'000)}};
  ::utimensat(AT_FDCWD, NativePath(path).constData(), times, 0);
}

}  // namespace

QString JournalsFolder(const QString& stateFolder) {
  return stateFolder + QStringLiteral("/undo");
}

ChangeJournal::ChangeJournal(QString folder, int lockFd)
    : folder_(std::move(folder)), lockFd_(lockFd) {}

ChangeJournal::~ChangeJournal() {
  Finish();
}

std::unique_ptr<ChangeJournal> ChangeJournal::Begin(const QString& journalsFolder,
                                                    const QString& description, QString& problem) {
  // The journals hold copies of the user's photos: only the user may enter them.
  const qsizetype slash = journalsFolder.lastIndexOf(u'/');
  if ((slash > 0 && !MakeFolders(journalsFolder.left(slash))) ||
      (::mkdir(NativePath(journalsFolder).constData(), 0700) != 0 && errno != EEXIST)) {
    problem = QStringLiteral("cannot make the undo journals' folder %1: %2")
                  .arg(journalsFolder, SystemReason());
    return nullptr;
  }
  // Named for the start, so that names sort as runs came; the process tells apart runs of
  // one millisecond.
  const QDateTime now = QDateTime::currentDateTimeUtc();
  const QString name =
      now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + QStringLiteral("-%1").arg(::getpid());
  // A folder of its own: another run of the same millisecond takes the next name.
  QString folder = InFolder(journalsFolder, name);
  bool made = ::mkdir(NativePath(folder).constData(), 0700) == 0;
  for (int again = 1; !made && errno == EEXIST && again < 100; ++again) {
    folder = InFolder(journalsFolder, name + QStringLiteral("-%1").arg(again));
    made = ::mkdir(NativePath(folder).constData(), 0700) == 0;
  }
  if (!made) {
    problem = QStringLiteral("cannot make the undo journal %1: %2").arg(folder, SystemReason());
    return nullptr;
  }
  const int lock = LockRun(folder, true);
  QByteArray run = "trevalo undo journal 1\nstarted\t" + now.toString(Qt::ISODateWithMs).toUtf8() +
                   "\ndescription\t" +
                   description.left(kLongestDescription).toUtf8().replace('\n', ' ') + '\n';
  problem = lock < 0
                ? QStringLiteral("cannot lock the undo journal %1: %2").arg(folder, SystemReason())
                : WriteFileAtomically(InFolder(folder, QLatin1String(kRunFile)), Bytes(run), true);
  std::unique_ptr<ChangeJournal> journal(new ChangeJournal(folder, lock));
  if (problem.isEmpty()) {
    journal->entriesFd_ =
        ::open(NativePath(InFolder(folder, QLatin1String(kEntriesFile))).constData(),
               O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (journal->entriesFd_ < 0) {
      problem = QStringLiteral("cannot write the undo journal %1: %2").arg(folder, SystemReason());
    }
  }
  if (!problem.isEmpty()) {
    journal->Finish();
    return nullptr;
  }
  return journal;
}

QString ChangeJournal::Append(const QByteArray& line, bool flushToDisk) {
  // Under the lock: lines of several threads never mix.
  if (!WriteAll(entriesFd_, Bytes(line)) || (flushToDisk && ::fdatasync(entriesFd_) != 0)) {
    return QStringLiteral("cannot write the undo journal %1: %2").arg(folder_, SystemReason());
  }
  return {};
}

QString ChangeJournal::Keep(const QString& path) {
  FileState state = ReadState(path);
  if (!state.problem.isEmpty()) {
    return state.problem;
  }
  std::size_t n;
  {
    const std::lock_guard hold(mutex_);
    n = entries_.size();
    entries_.push_back({path, {}, state.exists});
  }
  // The old content, and its name in the journal's folder, reach the disk before the line
  // that says it is kept, and that line before the file is changed: even a power cut then
  // leaves the old content restorable.
  if (state.exists) {
    // A second name for the file costs nothing, and the program's writers never change a
    // file where it is (a new one is renamed over it): the old content stays under this
    // name. Another file system, or one that refuses links, gets a copy.
    const QString kept = InFolder(folder_, KeptName(n, "orig"));
    if (::linkat(AT_FDCWD, NativePath(path).constData(), AT_FDCWD, NativePath(kept).constData(),
                 AT_SYMLINK_FOLLOW) != 0) {
      if (const QString problem = WriteFileAtomically(kept, Bytes(state.bytes), true);
          !problem.isEmpty()) {
        return problem;
      }
    }
    SyncFolder(folder_);
  }
  const QByteArray line = "keep\t" + QByteArray::number(static_cast<qulonglong>(n)) + '\t' +
                          (state.exists ? "file\t" + Digest(state.bytes) : QByteArray("none\t-")) +
                          '\t' + QByteArray::number(state.modifiedNs) + '\t' +
                          EncodedPath(AbsolutePath(path)) + '\n';
  const std::lock_guard hold(mutex_);
  if (const QString problem = Append(line, true); !problem.isEmpty()) {
    return problem;
  }
  entries_[n].original = std::move(state.bytes);
  pathIndex_.insert(path, n);
  return {};
}

void ChangeJournal::Changed(const QString& path) {
  std::size_t n;
  QByteArray original;
  bool existed;
  {
    const std::lock_guard hold(mutex_);
    const auto found = pathIndex_.constFind(path);
    if (found == pathIndex_.cend()) {
      return;
    }
    n = *found;
    original = std::move(entries_[n].original);
    existed = entries_[n].existed;
  }
  const FileState now = ReadState(path);
  if (!now.problem.isEmpty()) {
    return;  // the copy kept whole restores it
  }
  qsizetype shared = 0;
  if (existed && now.exists) {
    // Only the part of the old content that the new one does not share is kept.
    shared = CommonEnd(original, now.bytes);
    // Not flushed: a process killed from here on leaves what it wrote to the system, and
    // the whole copy goes only once the line below is written. (A power cut in the moment
    // after may cost the copy of this one file; the file itself is whole, and tagged.)
    if (!WriteFileAtomically(InFolder(folder_, KeptName(n, "head")),
                             Bytes(original.left(original.size() - shared)), false)
             .isEmpty()) {
      return;
    }
  }
  const QByteArray line = "done\t" + QByteArray::number(static_cast<qulonglong>(n)) + '\t' +
                          (now.exists ? "file\t" + Digest(now.bytes) : QByteArray("none\t-")) +
                          '\t' + QByteArray::number(static_cast<qlonglong>(shared)) + '\n';
  bool recorded;
  {
    const std::lock_guard hold(mutex_);
    recorded = Append(line, false).isEmpty();
  }
  if (recorded && existed && now.exists) {
    ::unlink(NativePath(InFolder(folder_, KeptName(n, "orig"))).constData());
  }
}

void ChangeJournal::Finish(std::int64_t limitBytes) {
  if (finished_) {
    return;
  }
  finished_ = true;
  if (entriesFd_ >= 0) {
    ::close(entriesFd_);
    entriesFd_ = -1;
  }
  if (pathIndex_.isEmpty()) {
    RemoveRun(folder_);  // nothing was changed: nothing to undo
  }
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
  // The oldest runs go first; this one (the newest) stays whatever its size.
  const QString journals = folder_.left(folder_.lastIndexOf(u'/'));
  std::vector<JournalRun> runs = JournalRuns(journals);
  std::int64_t total = 0;
  for (const JournalRun& run : runs) {
    total += run.bytes;
  }
  for (auto run = runs.rbegin(); run != runs.rend() && total > limitBytes; ++run) {
    if (run->folder == folder_ || run->running) {
      continue;
    }
    const int lock = LockRun(run->folder, false);
    if (lock >= 0) {
      RemoveRun(run->folder);
      ::close(lock);
      total -= run->bytes;
    }
  }
}

std::vector<JournalRun> JournalRuns(const QString& journalsFolder) {
  std::vector<JournalRun> runs;
  for (const QString& name : FolderEntries(journalsFolder)) {
    JournalRun run;
    run.folder = InFolder(journalsFolder, name);
    run.name = name;
    const FileState about = ReadState(InFolder(run.folder, QLatin1String(kRunFile)));
    if (!about.exists) {
      continue;  // not a run (or one that never started)
    }
    for (const QByteArray& line : about.bytes.split('\n')) {
      if (line.startsWith("started\t")) {
        run.started = QDateTime::fromString(QString::fromUtf8(line.mid(8)), Qt::ISODateWithMs);
      } else if (line.startsWith("description\t")) {
        run.description = QString::fromUtf8(line.mid(12));
      }
    }
    run.files = static_cast<int>(ReadEntries(run.folder).size());
    for (const QString& file : FolderEntries(run.folder)) {
      struct stat status {};
      if (::lstat(NativePath(InFolder(run.folder, file)).constData(), &status) == 0) {
        run.bytes += status.st_size;
      }
    }
    const int lock = LockRun(run.folder, false);
    run.running = lock < 0;
    if (lock >= 0) {
      ::close(lock);
    }
    runs.push_back(std::move(run));
  }
  std::sort(runs.begin(), runs.end(),
            [](const JournalRun& a, const JournalRun& b) { return a.name > b.name; });
  return runs;
}

UndoReport UndoRun(const QString& folder) {
  UndoReport report;
  const int lock = LockRun(folder, false);
  if (lock < 0) {
    report.failed << QStringLiteral(
                         "%1: the run is still going on, or its journal cannot be "
                         "opened")
                         .arg(folder);
    return report;
  }
  struct stat entriesStatus {};
  const bool entriesDated =
      ::stat(NativePath(InFolder(folder, QLatin1String(kEntriesFile))).constData(),
             &entriesStatus) == 0;
  const std::map<std::size_t, JournalEntry> entries = ReadEntries(folder);
  // Newest first: a file the run changed twice goes back through each of its states.
  for (auto at = entries.rbegin(); at != entries.rend(); ++at) {
    const std::size_t n = at->first;
    const JournalEntry& entry = at->second;
    const FileState now = ReadState(entry.path);
    // A file that cannot be read, or is missing (on a card taken out, say), is tried again
    // by a later undo: its journal stays.
    if (!now.problem.isEmpty()) {
      report.failed << QStringLiteral("%1: %2").arg(entry.path, now.problem);
      continue;
    }
    if (now.exists == entry.existed && (!now.exists || Digest(now.bytes) == entry.digest)) {
      continue;  // as it was before the run
    }
    if (!now.exists && (entry.existed || (entry.done && entry.existsAfter))) {
      report.failed << QStringLiteral("%1: it is missing").arg(entry.path);
      continue;
    }
    // A file the run made but never recorded (it was killed in between) is taken away only
    // when it is no newer than the run's last word, give or take a minute: one made later is
    // someone else's.
    if (!entry.done && !entry.existed) {
      struct stat status {};
      if (!entriesDated || ::stat(NativePath(entry.path).constData(), &status) != 0 ||
          status.st_mtim.tv_sec > entriesStatus.st_mtim.tv_sec + 60) {
        report.refused
            << QStringLiteral("%1: made after the run stopped; left as it is").arg(entry.path);
        continue;
      }
    }
    // Only what the run left is taken back; anything else has been changed since.
    if (entry.done && (now.exists != entry.existsAfter ||
                       (now.exists && Digest(now.bytes) != entry.digestAfter))) {
      report.refused << QStringLiteral(
                            "%1: changed since the run by something else; left "
                            "as it is")
                            .arg(entry.path);
      continue;
    }
    if (!entry.existed) {
      if (::unlink(NativePath(entry.path).constData()) != 0) {
        report.failed << QStringLiteral("%1: %2").arg(entry.path, SystemReason());
      } else {
        report.restored << entry.path;
      }
      continue;
    }
    QByteArray content;
    if (entry.done && now.exists) {
      content =
          ReadState(InFolder(folder, KeptName(n, "head"))).bytes + now.bytes.right(entry.sharedEnd);
    } else {
      content = ReadState(InFolder(folder, KeptName(n, "orig"))).bytes;
    }
    if (Digest(content) != entry.digest) {
      report.refused << QStringLiteral(
                            "%1: its copy in the undo journal is damaged; left as "
                            "it is")
                            .arg(entry.path);
      continue;
    }
    if (const QString problem = WriteFileAtomically(entry.path, Bytes(content), true);
        !problem.isEmpty()) {
      report.failed << QStringLiteral("%1: %2").arg(entry.path, problem);
      continue;
    }
    SetModified(entry.path, entry.modifiedNs);
    report.restored << entry.path;
  }
  std::reverse(report.restored.begin(), report.restored.end());  // in the run's order
  if (report.failed.isEmpty()) {
    RemoveRun(folder);
    report.removed = true;
  }
  ::close(lock);
  return report;
}

}  // namespace trevalo
