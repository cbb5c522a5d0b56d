// Atomic writes: through links, with long names, with and without unnamed temporary files,
// and what a killed writer leaves.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include <QTemporaryDir>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "files/native_path.h"
#include "files/temporary_names.h"
#include "support/test_files.h"

namespace trevalo {
namespace {

QStringList Entries(const QString& folder) {
  QStringList names = FolderEntries(folder);
  names.sort();
  return names;
}

QByteArray Native(const QString& path) {
  return NativePath(path);
}

bool IsLink(const QString& path, const QByteArray& target) {
  struct stat status {};
  char buffer[4096];
  const ssize_t length = ::readlink(Native(path).constData(), buffer, sizeof buffer);
  return ::lstat(Native(path).constData(), &status) == 0 && S_ISLNK(status.st_mode) &&
         QByteArray(buffer, std::max<ssize_t>(length, 0)) == target;
}

mode_t ModeOf(const QString& path) {
  struct stat status {};
  return ::stat(Native(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

QString Write(const QString& path, std::string_view text) {
  return WriteFileAtomically(
      path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, true);
}

// The PID of a process that has ended.
pid_t EndedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(0);
  }
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// Runs `work` in a child process and waits for it; true when it ended normally with 0.
template <typename Work>
bool InChild(Work work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(work() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every test runs with unnamed temporary files (where the file system has them) and with the
// named ones of file systems that have none.
class AtomicWrite : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { UseNamedTemporariesForTest(named()); }
  void TearDown() override { UseNamedTemporariesForTest(false); }
  bool named() const { return GetParam(); }
  test::TemporaryFolder dir_;
};

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicWrite, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST_P(AtomicWrite, TheTemporaryHasANameOnlyWhereItMust) {
  QTemporaryDir memory(QStringLiteral("/dev/shm/atomic-XXXXXX"));
  for (const QString& folder : {dir_.path(), memory.isValid() ? memory.path() : QString()}) {
    if (folder.isEmpty()) {
      continue;  // no tmpfs here
    }
    const QString target = folder + QStringLiteral("/report.kml");
    {
      AtomicFile file(target);
      ASSERT_GE(file.fd(), 0) << file.openProblem().toStdString();
      ASSERT_TRUE(WriteAll(file.fd(), {reinterpret_cast<const std::uint8_t*>("abc"), 3}));
      EXPECT_EQ(file.unnamed(), !named());
      const QStringList during = Entries(folder);
      if (named()) {
        ASSERT_EQ(during.size(), 1);
        const std::optional<TemporaryOwner> owner = OwnerOfTemporary(Native(during[0]));
        ASSERT_TRUE(owner) << during[0].toStdString();
        EXPECT_EQ(owner->pid, ::getpid());
        EXPECT_EQ(owner->machineTag, ThisMachineTag());
      } else {
        EXPECT_EQ(during, QStringList()) << folder.toStdString();
      }
    }
    EXPECT_EQ(Entries(folder), QStringList()) << "an abandoned file leaves nothing";
    AtomicFile file(target);
    ASSERT_TRUE(WriteAll(file.fd(), {reinterpret_cast<const std::uint8_t*>("abc"), 3}));
    ASSERT_EQ(file.Commit(true), QString());
    EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("report.kml")});
    EXPECT_EQ(test::ReadFile(target), QByteArray("abc"));
  }
}

TEST_P(AtomicWrite, WritersThatOpenByNameReachTheTemporary) {
  const QString target = dir_.filePath(QStringLiteral("package.kmz"));
  AtomicFile file(target);
  std::FILE* stream = std::fopen(Native(file.temporaryPath()).constData(), "wb");
  ASSERT_NE(stream, nullptr);
  std::fputs("zipped", stream);
  std::fclose(stream);
  ASSERT_EQ(file.Commit(false), QString());
  EXPECT_EQ(test::ReadFile(target), QByteArray("zipped"));
}

TEST_P(AtomicWrite, AChainOfLinksIsWrittenThroughAndKept) {
  const QString real = dir_.filePath(QStringLiteral("photos/IMG_1.JPG"));
  test::WriteFile(real, "old");
  ASSERT_EQ(::chmod(Native(real).constData(), 0640), 0);
  ASSERT_TRUE(MakeFolders(dir_.filePath(QStringLiteral("links"))));
  const QString first = dir_.filePath(QStringLiteral("links/first.jpg"));
  const QString second = dir_.filePath(QStringLiteral("links/second.jpg"));
  const QByteArray firstTarget = "../photos/IMG_1.JPG";  // relative to the link's folder
  const QByteArray secondTarget = Native(first);         // absolute
  ASSERT_EQ(::symlink(firstTarget.constData(), Native(first).constData()), 0);
  ASSERT_EQ(::symlink(secondTarget.constData(), Native(second).constData()), 0);

  ASSERT_EQ(Write(second, "new"), QString());
  EXPECT_EQ(test::ReadFile(real), QByteArray("new"));
  EXPECT_TRUE(IsLink(first, firstTarget));
  EXPECT_TRUE(IsLink(second, secondTarget));
  EXPECT_EQ(ModeOf(real), 0640u);
  EXPECT_EQ(Entries(dir_.filePath(QStringLiteral("photos"))),
            QStringList{QStringLiteral("IMG_1.JPG")});
  EXPECT_EQ(Entries(dir_.filePath(QStringLiteral("links"))),
            (QStringList{QStringLiteral("first.jpg"), QStringLiteral("second.jpg")}));
}

TEST_P(AtomicWrite, NamesOfUpTo255BytesCanBeWritten) {
  const QString longest = QString(251, u'n') + QStringLiteral(".jpg");
  const QString latin1 = PathFromNative(QByteArray(250, 'n') + "\xe9.jpg");
  for (const QString& name : {longest, latin1}) {
    ASSERT_EQ(Native(name).size(), 255);
    const QString target = dir_.filePath(name);
    ASSERT_EQ(Write(target, "tagged"), QString());
    EXPECT_EQ(test::ReadFile(target), QByteArray("tagged"));
  }
  EXPECT_EQ(Entries(dir_.path()).size(), 2);
}

TEST(AtomicFile, ADanglingLinkOrALoopIsRefusedAndKept) {
  QTemporaryDir dir;
  const QString dangling = dir.filePath(QStringLiteral("Wayfable_Logs.DB"));
  ASSERT_EQ(::symlink("elsewhere/Wayfable_Logs.DB", Native(dangling).constData()), 0);
  const QString problem = Write(dangling, "new");
  EXPECT_TRUE(problem.contains(QStringLiteral("elsewhere/Wayfable_Logs.DB")))
      << problem.toStdString();
  EXPECT_TRUE(problem.contains(QStringLiteral("does not exist"))) << problem.toStdString();
  EXPECT_TRUE(IsLink(dangling, "elsewhere/Wayfable_Logs.DB"));

  const QString a = dir.filePath(QStringLiteral("a"));
  const QString b = dir.filePath(QStringLiteral("b"));
  ASSERT_EQ(::symlink("b", Native(a).constData()), 0);
  ASSERT_EQ(::symlink("a", Native(b).constData()), 0);
  EXPECT_FALSE(Write(a, "new").isEmpty());
  EXPECT_TRUE(IsLink(a, "b"));
  EXPECT_TRUE(IsLink(b, "a"));
  EXPECT_EQ(Entries(dir.path()).size(), 3);
}

TEST(AtomicFile, ALinkAnotherUserMadeInASharedFolderIsNotFollowed) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "giving a link to another user needs root";
  }
  QTemporaryDir dir;
  const QString victim = dir.filePath(QStringLiteral("home/settings.ini"));
  test::WriteFile(victim, "mine");
  const QString shared = dir.filePath(QStringLiteral("shared"));
  ASSERT_TRUE(MakeFolders(shared));
  ASSERT_EQ(::chmod(Native(shared).constData(), 01777), 0);
  const QString planted = shared + QStringLiteral("/out.kml");
  ASSERT_EQ(::symlink(Native(victim).constData(), Native(planted).constData()), 0);
  ASSERT_EQ(::lchown(Native(planted).constData(), 65534, 65534), 0);
  EXPECT_TRUE(Write(planted, "overwritten").contains(QStringLiteral("another user")));
  EXPECT_EQ(test::ReadFile(victim), QByteArray("mine"));
  EXPECT_TRUE(IsLink(planted, Native(victim)));

  const QString own = shared + QStringLiteral("/own.kml");  // this user's link is followed
  ASSERT_EQ(::symlink(Native(victim).constData(), Native(own).constData()), 0);
  EXPECT_EQ(Write(own, "new"), QString());
  EXPECT_EQ(test::ReadFile(victim), QByteArray("new"));
}

// Temporary names in `folder` for each kind of file the cleanup must tell apart.
struct Planted {
  QString endedWriter, runningWriter, parentWriter, foreignRecent, foreignOld;
  QStringList notOurs;
};

Planted PlantTemporaries(const QString& folder) {
  const QByteArray here = ThisMachineTag();
  const QByteArray other = here == "0badf00d" ? "0badf00e" : "0badf00d";
  const auto name = [&](const QByteArray& machine, pid_t pid) {
    return folder + u'/' + PathFromNative(TemporaryName(machine, pid, "Ab3xYz"));
  };
  Planted p{name(here, EndedProcess()),  name(here, ::getpid()), name(here, ::getppid()),
            name(other, EndedProcess()), name(other, 12345),     {}};
  for (const QString& path :
       {p.endedWriter, p.runningWriter, p.parentWriter, p.foreignRecent, p.foreignOld}) {
    test::WriteFile(path, "partial");
  }
  const timespec old[2] = {{0, UTIME_OMIT},
                           {std::time(nullptr) - kForeignTemporaryAgeSeconds - 60, 0}};
  ::utimensat(AT_FDCWD, Native(p.foreignOld).constData(), old, 0);
  // Names like ours that are not ours, an older program's temporary, and things of our
  // naming that are no files.
  const QByteArray ended = QByteArray::number(EndedProcess());
  for (const QByteArray& notOurs :
       {".trevalo-" + here + "-" + ended + "-Ab3xY", ".trevalo-" + here + "-" + ended + "-Ab3xYz~",
        ".trevalo-" + here + "-0" + ended + "-Ab3xYz", ".trevalo-0BADF00D-" + ended + "-Ab3xYz",
        "x.trevalo-" + here + "-" + ended + "-Ab3xYz", QByteArray(".IMG_1.JPG.Ab3xYz")}) {
    p.notOurs << folder + u'/' + PathFromNative(notOurs);
    test::WriteFile(p.notOurs.back(), "someone's");
  }
  p.notOurs << folder + u'/' + PathFromNative(TemporaryName(here, EndedProcess(), "Folder"));
  MakeFolders(p.notOurs.back());
  p.notOurs << folder + u'/' + PathFromNative(TemporaryName(here, EndedProcess(), "LinkXx"));
  ::symlink("nowhere", Native(p.notOurs.back()).constData());
  return p;
}

TEST(AtomicFile, TemporariesOfEndedWritersGoOnTheNextWriteAndNothingElse) {
  QTemporaryDir dir;
  const Planted p = PlantTemporaries(dir.path());
  ASSERT_EQ(Write(dir.filePath(QStringLiteral("IMG_1.JPG")), "tagged"), QString());
  EXPECT_FALSE(PathExists(p.endedWriter));
  EXPECT_FALSE(PathExists(p.foreignOld));
  EXPECT_TRUE(PathExists(p.runningWriter));
  EXPECT_TRUE(PathExists(p.parentWriter));
  EXPECT_TRUE(PathExists(p.foreignRecent));
  for (const QString& path : p.notOurs) {
    EXPECT_TRUE(PathExists(path)) << VisibleText(path).toStdString();
  }
  EXPECT_EQ(test::ReadFile(p.runningWriter), QByteArray("partial"));
}

TEST(AtomicFile, AFolderChangedSinceTheLastWriteIsLookedThroughAgain) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("Wayfable_Logs.DB"));
  ASSERT_EQ(Write(target, "first"), QString());
  const QString left =
      dir.filePath(PathFromNative(TemporaryName(ThisMachineTag(), EndedProcess(), "Ab3xYz")));
  test::WriteFile(left, "partial");
  // Another process's change, with a time of its own even where clocks are coarse.
  const timespec changed[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 100, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Native(dir.path()).constData(), changed, 0), 0);
  ASSERT_EQ(Write(target, "second"), QString());
  EXPECT_EQ(Entries(dir.path()), QStringList{QStringLiteral("Wayfable_Logs.DB")});
}

// A child writes 16 MiB over the target and is killed at a random moment: the target is the
// old or the new content, whole; a temporary it left has its name, and the next write (by a
// process that has not written there yet, as the next run of the program) removes it.
TEST_P(AtomicWrite, AKilledWriterLeavesTheTargetWholeAndNoTemporaryAfterTheNextWrite) {
  constexpr std::size_t kSize = 16 << 20;
  const QString target = dir_.filePath(QStringLiteral("export.gpx"));
  const auto writeAll = [&](char fill) {
    return [&target, fill] {
      const std::vector<std::uint8_t> block(1 << 20, static_cast<std::uint8_t>(fill));
      return WriteFileAtomically(
                 target,
                 [&](int fd) {
                   for (std::size_t done = 0; done < kSize; done += block.size()) {
                     if (!WriteAll(fd, block)) {
                       return WriteProblem(target);
                     }
                   }
                   return QString();
                 },
                 true)
          .isEmpty();
    };
  };
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(InChild(writeAll('a')));
  const auto writeTime = std::chrono::steady_clock::now() - start;
  char current = 'a';
  std::mt19937 random(20240531);
  int killsLeavingATemporary = 0;
  for (int run = 0; run < 30; ++run) {
    const char next = static_cast<char>('b' + run % 24);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::_exit(writeAll(next)() ? 0 : 1);
    }
    std::this_thread::sleep_for(std::uniform_real_distribution<double>(0, 1.3)(random) * writeTime);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    const QByteArray content = test::ReadFile(target);
    ASSERT_EQ(content.size(), static_cast<qsizetype>(kSize)) << "run " << run;
    const char whole = content.count(next) == content.size() ? next : current;
    ASSERT_EQ(content.count(whole), content.size()) << "run " << run << ": a mixed file";
    current = whole;
    QStringList left = Entries(dir_.path());
    left.removeOne(QStringLiteral("export.gpx"));
    for (const QString& name : left) {
      const std::optional<TemporaryOwner> owner = OwnerOfTemporary(Native(name));
      ASSERT_TRUE(owner && owner->pid == pid) << VisibleText(name).toStdString();
    }
    killsLeavingATemporary += left.isEmpty() ? 0 : 1;

    const char after = static_cast<char>('B' + run % 24);
    ASSERT_TRUE(InChild(writeAll(after)));
    current = after;
    EXPECT_EQ(Entries(dir_.path()), QStringList{QStringLiteral("export.gpx")}) << "run " << run;
  }
  RecordProperty("killsLeavingATemporary", killsLeavingATemporary);
  if (named()) {
    EXPECT_GT(killsLeavingATemporary, 0) << "the kills never hit a write";
  } else {
    // A name exists only between the link and the rename, some microseconds of a write
    // that takes far longer: a kill that hits it is rare enough to allow once.
    EXPECT_LE(killsLeavingATemporary, 1);
  }
}

}  // namespace
}  // namespace trevalo
