#pragma once
// What the benchmarks of the map pages share: scripts run in the page, waiting for what a
// page says, and the memory of the browser engine's processes.

#include <QString>
#include <QStringList>
#include <QVariant>

class QWebEngineView;

namespace trevalo {

// A kB figure of /proc/<pid>/status ("VmHWM", "VmRSS"); 0 when the process is gone.
long StatusKilobytes(const QString& pid, const QByteArray& field);

// The largest peak among the web engine's processes started by this process.
long RendererPeakKilobytes();

// The main of a benchmark of pages: each size (the arguments, else `defaults`) measured by
// `measureOne` in a process of its own, so that every renderer starts afresh; that process
// runs offscreen, without the sandbox (a container's root) and without a GPU, as the window
// tests do. The number of sizes that failed.
int RunEachSizeAlone(int argc, char** argv, const QStringList& defaults,
                     int (*measureOne)(int size));

// What `script` gives in the view's page.
QVariant RunScript(QWebEngineView* view, const QString& script);

// Runs the event loop until the script gives a value other than null, polling every 10 ms;
// the milliseconds taken, or -1 after two minutes.
double MillisecondsUntil(QWebEngineView* view, const QString& script, QVariant* value = nullptr);

}  // namespace trevalo
