#pragma once
// What the benchmarks of the map pages share: scripts run in the page, waiting for what a
// page says, and the memory of the browser engine's processes.

#include <QString>
#include <QVariant>

class QWebEngineView;

namespace trevalo {

// A kB figure of /proc/<pid>/status ("VmHWM", "VmRSS"); 0 when the process is gone.
long StatusKilobytes(const QString& pid, const QByteArray& field);

// The largest peak among the web engine's processes started by this process.
long RendererPeakKilobytes();

// What `script` gives in the view's page.
QVariant RunScript(QWebEngineView* view, const QString& script);

// Runs the event loop until the script gives a value other than null, polling every 10 ms;
// the milliseconds taken, or -1 after two minutes.
double MillisecondsUntil(QWebEngineView* view, const QString& script, QVariant* value = nullptr);

}  // namespace trevalo
