#include "widgets/background_work.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "widgets/progress_dialog.h"

namespace trevalo {
namespace {

// Where the work is, as its thread last said; read by the window's thread.
class SharedProgress {
 public:
  void Set(std::size_t done, std::size_t total, const QString& item) {
    const std::lock_guard lock(mutex_);
    done_ = done;
    total_ = total;
    item_ = item;
    changed_ = true;
  }
  // Shows the latest news, if any, in the window.
  void ShowIn(ProgressDialog& window) {
    const std::lock_guard lock(mutex_);
    if (changed_) {
      window.Show(total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_), item_);
      changed_ = false;
    }
  }

 private:
  std::mutex mutex_;
  std::size_t done_ = 0;
  std::size_t total_ = 0;
  QString item_;
  bool changed_ = false;
};

// How often the window's thread looks at the work: often enough for a moving bar.
constexpr int kLookEveryMs = 30;
// Work shorter than this is done before a window could be read: none is shown.
constexpr int kWindowAfterMs = 250;

// Lowers the calling thread's priority (and that of the threads it starts, which inherit it)
// below the window's: on a machine whose cores the work fills, the window's thread still
// runs whenever it has something to do. Relative to the program's own, so a program started
// with `nice` keeps its window above its work too.
void YieldToTheWindow() {
  constexpr int kBelowTheWindow = 10;
  constexpr int kLowestNice = 19;
  const auto thread = static_cast<id_t>(::gettid());
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, thread);
  if (errno == 0 && current < kLowestNice) {
    ::setpriority(PRIO_PROCESS, thread, std::min(current + kBelowTheWindow, kLowestNice));
  }
}

}  // namespace

void RunInBackground(const QString& title, QWidget* over,
                     const std::function<void(const Progress&)>& work) {
  SharedProgress shared;
  std::atomic<bool> finished = false;
  std::thread worker([&] {
    YieldToTheWindow();
    work([&shared](std::size_t done, std::size_t total, const QString& item) {
      shared.Set(done, total, item);
    });
    finished = true;
  });
  std::unique_ptr<ProgressDialog> window;
  QElapsedTimer elapsed;
  elapsed.start();
  QEventLoop loop;
  QTimer look;
  look.setInterval(kLookEveryMs);
  QObject::connect(&look, &QTimer::timeout, &loop, [&] {
    if (finished) {
      loop.quit();
      return;
    }
    if (!window && elapsed.elapsed() >= kWindowAfterMs) {
      window = std::make_unique<ProgressDialog>(title, over);
      loop.exit(1);  // from now on the modal window keeps the user's input away
    }
    if (window) {
      shared.ShowIn(*window);
    }
  });
  look.start();
  // Until the window shows, the user's input waits; then the window, modal, holds it off.
  if (loop.exec(QEventLoop::ExcludeUserInputEvents) == 1) {
    loop.exec();
  }
  worker.join();
}

}  // namespace trevalo
