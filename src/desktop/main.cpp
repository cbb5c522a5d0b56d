// trevalo: the desktop application.

#include <unistd.h>
#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QWebEngineProfile>

#include "desktop/instance_channel.h"
#include "desktop/main_window.h"
#include "shell/app_folders.h"
#include "shell/language.h"
#include "shell/settings.h"
#include "tagging/photo_preview.h"
#include "widgets/app_icon.h"
#include "widgets/page_scheme.h"

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
  QGuiApplication::setDesktopFileName(trevalo::kDesktopId);

  QCommandLineParser arguments;
  arguments.setApplicationDescription(QStringLiteral(
      "Brings a GPS logger's tracks into a library and writes into photos the place each "
      "was taken."));
  arguments.addHelpOption();
  arguments.addVersionOption();
  arguments.addPositionalArgument(QStringLiteral("photo"),
                                  QStringLiteral("Photos to add to the photo list."),
                                  QStringLiteral("[photo...]"));
  arguments.process(app);
  QStringList photos;
  for (const QString& given : arguments.positionalArguments()) {
    photos.append(QFileInfo(given).absoluteFilePath());
  }

  const trevalo::AppFolders folders = trevalo::AppFolders::FromEnvironment();
  // One instance at a time: a second start hands its photos to the running one, which
  // comes to the front, and ends.
  QString problem;
  const QString runtimeFolder = trevalo::InstanceFolder(folders, problem);
  if (runtimeFolder.isEmpty()) {
    std::fprintf(stderr, "trevalo: %s\n", qPrintable(problem));
    return 1;
  }
  const trevalo::InstanceLock instanceLock(runtimeFolder);
  if (!instanceLock.held()) {
    if (instanceLock.heldElsewhere()) {
      if (trevalo::HandFilesToRunningInstance(runtimeFolder, photos)) {
        return 0;
      }
      std::fputs("trevalo: Trevalo is already running but does not answer\n", stderr);
    } else {
      std::fprintf(stderr, "trevalo: %s\n", qPrintable(instanceLock.problem()));
    }
    return 1;
  }
  trevalo::InstanceServer laterStarts(runtimeFolder);

  QDir().mkpath(folders.cacheFolder);
  trevalo::InstallPageScheme(QWebEngineProfile::defaultProfile(),
                             trevalo::ProgramPageFolders(folders),
                             [](const QString& path) { return trevalo::PhotoPreviewJpeg(path); });

  trevalo::MainWindow window{trevalo::Settings(folders), trevalo::SystemLanguageIsKorean()};
  window.ShowAsStored();
  QObject::connect(&laterStarts, &trevalo::InstanceServer::filesReceived, &window,
                   &trevalo::MainWindow::OpenPhotos);
  if (!photos.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, photos] { window.OpenPhotos(photos); });
  }
  return QApplication::exec();
}
