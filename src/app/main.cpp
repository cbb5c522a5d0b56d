// trevalo: the desktop application.

#include <unistd.h>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QWebEngineProfile>

#include "app/app_folders.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/page_scheme.h"
#include "app/settings.h"

int main(int argc, char* argv[]) {
  // The web engine refuses to run as root with its sandbox on.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
    std::fputs("trevalo: running as root, so the web view runs without its sandbox\n", stderr);
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  trevalo::RegisterPageScheme();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("trevalo"));
  QApplication::setApplicationVersion(QStringLiteral(TREVALO_VERSION));

  const trevalo::AppFolders folders = trevalo::AppFolders::FromEnvironment();
  // One instance at a time: a second one ends at once, silently.
  QDir().mkpath(folders.runtimeFolder);
  QLockFile instanceLock(folders.runtimeFolder + QStringLiteral("/QarnLab_Trevalo.lock"));
  instanceLock.setStaleLockTime(0);
  if (!instanceLock.tryLock(0)) {
    return 0;
  }

  QDir().mkpath(folders.cacheFolder);
  trevalo::InstallPageScheme(QWebEngineProfile::defaultProfile(),
                             trevalo::ProgramPageFolders(folders));

  trevalo::CTrevaloDlg window{trevalo::Settings(folders), trevalo::SystemLanguageIsKorean()};
  window.ShowAsStored();
  return QApplication::exec();
}
