#pragma once
// Waiting for asynchronous work (a web page loading, a script answering) in tests that run
// an event loop.

#include <QEventLoop>
#include <QTimer>

namespace trevalo::test {

// Runs `start(done)` and then the event loop until `done` is called or 60 seconds pass;
// false on the timeout.
template <typename Start>
bool Wait(Start&& start) {
  QEventLoop loop;
  bool finished = false;
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  start([&] {
    finished = true;
    loop.quit();
  });
  if (!finished) {
    loop.exec();
  }
  return finished;
}

}  // namespace trevalo::test
