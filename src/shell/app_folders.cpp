#include "shell/app_folders.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "files/native_files.h"
#include "files/native_path.h"

namespace trevalo {
namespace {

QString ExecutableFolder() {
  if (QCoreApplication::instance() != nullptr) {
    return QCoreApplication::applicationDirPath();
  }
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

}  // namespace

QString AppFolders::FindDataFolder() {
  const QString executableFolder = ExecutableFolder();
  const QString candidates[] = {
      executableFolder,
      QDir::cleanPath(executableFolder + QStringLiteral("/../share/trevalo")),
      QStringLiteral(TREVALO_INSTALL_DATADIR),
  };
  for (const QString& folder : candidates) {
    if (QFileInfo(folder + QStringLiteral("/Lang")).isDir()) {
      return folder;
    }
  }
  return executableFolder;
}

AppFolders AppFolders::InHome(const QString& home) {
  const QString folder = QDir::cleanPath(QDir(home).absolutePath());
  return {FindDataFolder(), folder, folder, folder, folder, folder, folder};
}

AppFolders AppFolders::FromEnvironment() {
  const QString home = qEnvironmentVariable("TREVALO_HOME");
  if (!home.isEmpty()) {
    return InHome(home);
  }
  const auto location = [](QStandardPaths::StandardLocation kind) {
    return QStandardPaths::writableLocation(kind);
  };
  // Read directly: asking QStandardPaths warns on stderr when the variable is not set.
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return {FindDataFolder(),
          location(QStandardPaths::GenericConfigLocation) + QStringLiteral("/trevalo"),
          location(QStandardPaths::GenericCacheLocation) + QStringLiteral("/trevalo"),
          location(QStandardPaths::DocumentsLocation),
          location(QStandardPaths::PicturesLocation),
          runtime,
          location(QStandardPaths::GenericDataLocation) + QStringLiteral("/trevalo")};
}

QString MakePrivateFolder(const QString& path, bool onlyTheUser) {
  const QByteArray name = NativePath(path);
  if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
    return QStringLiteral("cannot make the folder %1: %2").arg(path, SystemReason());
  }
  struct stat status {};
  if (::lstat(name.constData(), &status) != 0) {
    return QStringLiteral("cannot use the folder %1: %2").arg(path, SystemReason());
  }
  if (!S_ISDIR(status.st_mode)) {
    return QStringLiteral("cannot use the folder %1: it is not a folder").arg(path);
  }
  if (status.st_uid != ::geteuid()) {
    return QStringLiteral("cannot use the folder %1: it belongs to another user").arg(path);
  }
  const mode_t others = onlyTheUser ? 077 : 022;
  if ((status.st_mode & others) != 0 && (!onlyTheUser || ::chmod(name.constData(), 0700) != 0)) {
    return QStringLiteral("cannot use the folder %1: others may write to it").arg(path);
  }
  return {};
}

QString InstanceFolder(const AppFolders& folders, QString& problem) {
  // A folder the user has (the session's runtime folder, TREVALO_HOME) keeps its mode; the
  // ones made here are the user's alone.
  struct Candidate {
    QString path;
    bool onlyTheUser;
  };
  std::vector<Candidate> candidates;
  if (!folders.runtimeFolder.isEmpty()) {
    candidates.push_back({folders.runtimeFolder, false});
  }
  candidates.push_back({QDir::tempPath() + QStringLiteral("/trevalo-%1").arg(::geteuid()), true});
  candidates.push_back({folders.cacheFolder + QStringLiteral("/runtime"), true});
  QStringList problems;
  for (const Candidate& candidate : candidates) {
    MakeFolders(candidate.path.section(u'/', 0, -2));  // the cache folder may be new
    const QString why = MakePrivateFolder(candidate.path, candidate.onlyTheUser);
    if (why.isEmpty()) {
      return candidate.path;
    }
    problems << why;
  }
  problem = problems.join(u'\n');
  return {};
}

}  // namespace trevalo
