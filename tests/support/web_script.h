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

}  // namespace trevalo::test
