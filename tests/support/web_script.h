#pragma once
// Running scripts in a web view the program shows, for tests of its pages.

#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "support/event_wait.h"

namespace trevalo::test {

// What `script` gives in the view's page.
inline QVariant RunScript(QWebEngineView* view, const QString& script) {
  QVariant value;
  Wait([&](auto done) {
    view->page()->runJavaScript(script, [&, done](const QVariant& result) {
      value = result;
      done();
    });
  });
  return value;
}

// Runs the event loop until `holds()` or `seconds` pass; what `holds()` says last.
template <typename Condition>
bool WaitFor(Condition&& holds, int seconds = 5) {
  for (int attempt = 0; attempt < seconds * 10 && !holds(); ++attempt) {
    Wait([](auto done) { QTimer::singleShot(100, done); });
  }
  return holds();
}

}  // namespace trevalo::test
