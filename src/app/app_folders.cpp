#include "app/app_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
  return {FindDataFolder(), folder, folder, folder, folder, folder};
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
          runtime.isEmpty() ? QDir::tempPath() : runtime};
}

}  // namespace trevalo
