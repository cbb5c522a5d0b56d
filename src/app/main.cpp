// trevalo: the desktop application.

#include <QApplication>
#include <QDir>
#include <QLockFile>

#include "app/app_folders.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/settings.h"

int main(int argc, char* argv[]) {
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

  trevalo::CTrevaloDlg window{trevalo::Settings(folders), trevalo::SystemLanguageIsKorean()};
  window.ShowAsStored();
  return QApplication::exec();
}
