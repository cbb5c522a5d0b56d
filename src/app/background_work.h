#pragma once
// Work of a window's command that takes seconds (writing a long track's marker file) run on
// a thread of its own, while the window thread's event loop goes on: windows repaint,
// timers fire, and the desktop sees the program answer. User input waits until the work is
// done, so nothing the work reads can change under it.

#include <exception>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

#include <QEventLoop>
#include <QMetaObject>

namespace trevalo {

template <typename Work>
std::invoke_result_t<Work&> RunWhileAnswering(Work&& work) {
  using Result = std::invoke_result_t<Work&>;
  QEventLoop loop;
  std::optional<Result> result;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      result.emplace(work());
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: delivered once the loop runs, even when the work ends before it starts.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  if (failure) {
    std::rethrow_exception(failure);
  }
  return std::move(*result);
}

}  // namespace trevalo
