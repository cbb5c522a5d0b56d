#include "web_bench_support.h"

#include <algorithm>

#include <string>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "widgets/page_scheme.h"

namespace trevalo {

// A kB figure of /proc/<pid>/status ("VmHWM", "VmRSS"); 0 when the process is gone.
long StatusKilobytes(const QString& pid, const QByteArray& field) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) {
    return 0;
  }
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(field + ':')) {
      return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
    }
  }
  return 0;
}

// The largest peak among the web engine's processes started by this process: the renderer
// (a fork of the zygote, it keeps the zygote's command line) outgrows the zygotes by far.
long RendererPeakKilobytes() {
  long peak = 0;
  const QString self = QString::number(QCoreApplication::applicationPid());
  for (const QFileInfo& entry : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs)) {
    bool isPid = false;
    entry.fileName().toLong(&isPid);
    if (!isPid) {
      continue;
    }
    QFile commandLine(entry.filePath() + QStringLiteral("/cmdline"));
    if (!commandLine.open(QIODevice::ReadOnly)) {
      continue;
    }
    const QByteArray arguments = commandLine.readAll();
    if (arguments.contains("QtWebEngineProcess")) {
      // Renderers are children of the zygote, a child of this process: check the ancestry.
      QString pid = entry.fileName();
      for (int depth = 0; depth < 4 && pid != self && pid != u"1"; ++depth) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
          break;
        }
        const QByteArray text = stat.readAll();
        pid = QString::fromLatin1(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1));
      }
      if (pid == self) {
        peak = std::max(peak, StatusKilobytes(entry.fileName(), "VmHWM"));
      }
    }
  }
  return peak;
}

QVariant RunScript(QWebEngineView* view, const QString& script) {
  QVariant value;
  bool done = false;
  view->page()->runJavaScript(script, [&](const QVariant& result) {
    value = result;
    done = true;
  });
  while (!done) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  return value;
}

// Runs the event loop until the script gives a value other than null, polling every 10 ms;
// the milliseconds taken, or -1 after two minutes.
double MillisecondsUntil(QWebEngineView* view, const QString& script, QVariant* value) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 120'000) {
    const QVariant said = RunScript(view, script);
    if (!said.isNull() && said.isValid() && said != QVariant(false)) {
      if (value != nullptr) {
        *value = said;
      }
      return static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return -1;
}

int RunEachSizeAlone(int argc, char** argv, const QStringList& defaults,
                     int (*measureOne)(int size)) {
  if (argc == 3 && std::string(argv[1]) == "--one") {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) {
      qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    }
    RegisterPageScheme();
    QApplication app(argc, argv);
    return measureOne(std::stoi(argv[2]));
  }
  QCoreApplication app(argc, argv);
  QStringList sizes = app.arguments().mid(1);
  if (sizes.isEmpty()) {
    sizes = defaults;
  }
  int failures = 0;
  for (const QString& size : sizes) {
    QProcess one;
    one.setProcessChannelMode(QProcess::ForwardedChannels);
    one.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--one"), size});
    one.waitForFinished(-1);
    failures += one.exitCode() != 0 ? 1 : 0;
  }
  return failures;
}

}  // namespace trevalo
