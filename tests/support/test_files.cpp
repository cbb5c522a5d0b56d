#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "files/atomic_file.h"
#include "files/native_files.h"
#include "files/native_path.h"

extern char** environ;

namespace trevalo::test {

void WriteFile(const QString& path, std::string_view bytes) {
  const QString absolute = AbsolutePath(path);
  MakeFolders(absolute.left(absolute.lastIndexOf(u'/')));
  const int fd =
      ::open(NativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << VisibleText(path).toStdString();
  const bool written =
      WriteAll(fd, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
  ::close(fd);
  ASSERT_TRUE(written) << VisibleText(path).toStdString();
}

QByteArray ReadFile(const QString& path) {
  QFile file;
  if (!OpenForReading(file, path).isEmpty()) {
    return {};
  }
  return file.readAll();
}

TemporaryFolder::~TemporaryFolder() {
  const auto remove = [](const char* path, const struct stat*, int, FTW*) {
    ::remove(path);  // what cannot go, QTemporaryDir reports
    return 0;
  };
  ::nftw(NativePath(dir_.path()).constData(), remove, 16, FTW_DEPTH | FTW_PHYS);
}

QByteArray Run(const QString& program, const QStringList& arguments, int* exitCode) {
  ProgramResult result = RunProgram(program, arguments, {}, 60);
  if (exitCode != nullptr) {
    *exitCode = result.exitCode;
  }
  return result.exitCode < 0 ? QByteArray() : result.out;
}

namespace {

// Reads both pipes until they end or the time is up; false when it is up.
bool ReadUntilClosed(int outFd, int errFd, ProgramResult& result,
                     std::chrono::steady_clock::time_point deadline) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  QByteArray* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) {
      return false;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char buffer[65536];
      const ssize_t count = ::read(fds[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        sinks[i]->append(buffer, count);
      } else if (count == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  return true;
}

}  // namespace

ProgramResult RunProgram(const QString& program, const QStringList& arguments,
                         const QStringList& environment, int timeoutSeconds) {
  ProgramResult result;
  std::vector<QByteArray> argumentBytes{NativePath(program)};
  for (const QString& argument : arguments) {
    argumentBytes.push_back(NativePath(argument));
  }
  std::vector<QByteArray> environmentBytes;
  for (const QString& variable : environment) {
    environmentBytes.push_back(NativePath(variable));
  }
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const QByteArray variableText(*variable);
    const QByteArray name = variableText.left(variableText.indexOf('=') + 1);
    if (std::none_of(environmentBytes.begin(), environmentBytes.end(),
                     [&](const QByteArray& added) { return added.startsWith(name); })) {
      environmentBytes.emplace_back(*variable);
    }
  }
  std::vector<char*> argv;
  for (QByteArray& argument : argumentBytes) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (QByteArray& variable : environmentBytes) {
    envp.push_back(variable.data());
  }
  envp.push_back(nullptr);

  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipes";
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned == 0) {
    if (!ReadUntilClosed(out[0], err[0], result,
                         std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds))) {
      ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::close(out[0]);
  ::close(err[0]);
  return result;
}

namespace {

// The folder of the running test program.
QString ProgramFolder() {
  char target[4096];
  const ssize_t length = ::readlink("/proc/self/exe", target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
    return {};
  }
  const QString program = PathFromNative(QByteArrayView(target, length));
  return program.left(program.lastIndexOf(u'/'));
}

// The source folder the build folder above the programs was configured from (its CMake
// cache names it), for a test run by hand rather than by ctest; empty when there is none.
QString SourceFolderOfBuild(const QString& programFolder) {
  static const QByteArray kKey = "CMAKE_HOME_DIRECTORY:INTERNAL=";
  const QByteArray cache = ReadFile(programFolder + QStringLiteral("/../CMakeCache.txt"));
  for (const QByteArray& line : cache.split('\n')) {
    if (line.startsWith(kKey)) {
      return PathFromNative(line.mid(kKey.size()).trimmed());
    }
  }
  return {};
}

}  // namespace

QString TestDataFolder() {
  QString folder = qEnvironmentVariable("TREVALO_TESTDATA");
  if (folder.isEmpty() && !SourceFolder().isEmpty()) {
    folder = SourceFolder() + QStringLiteral("/../shared/testdata");  // where ctest looks
  }
  return QFileInfo(folder).isDir() ? QDir::cleanPath(folder) : QString();
}

// ctest names the folders; run by hand, a test finds them from where its program is.
QString SourceFolder() {
  const QString given = qEnvironmentVariable("TREVALO_SOURCE_DIR");
  if (!given.isEmpty()) {
    return given;
  }
  static const QString found = SourceFolderOfBuild(BinaryFolder());
  return found;
}
QString BinaryFolder() {
  const QString given = qEnvironmentVariable("TREVALO_BIN_DIR");
  return given.isEmpty() ? ProgramFolder() : given;
}

QString SourceFolderMissing() {
  return SourceFolder().isEmpty()
             ? QStringLiteral(
                   "the source folder is unknown: run the test through ctest, from "
                   "its build folder, or with TREVALO_SOURCE_DIR set")
             : QString();
}

QString WriteGeneratedLog(const QString& folder, const QString& name, const LogPlan& plan,
                          std::vector<GeneratedFix>* fixes) {
  const QString path = folder + u'/' + name;
  WriteFile(path, GenerateLog(plan, fixes));
  return path;
}

}  // namespace trevalo::test
