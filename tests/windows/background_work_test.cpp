#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "widgets/background_work.h"

namespace trevalo {
namespace {

int NiceOfThisThread() {
  return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

// Work that fills every core must leave the window's thread its turn: the work, and the
// threads it starts, run at a lower priority than the thread that waits for it.
TEST(BackgroundWork, RunsBelowTheWindowsPriorityWithTheThreadsItStarts) {
  const int window = NiceOfThisThread();
  int work = window;
  int started = window;
  RunInBackground(QStringLiteral("work"), nullptr, [&](const Progress&) {
    work = NiceOfThisThread();
    std::thread helper([&] { started = NiceOfThisThread(); });
    helper.join();
  });
  // Below the window's however the program was started (even under `nice`), unless the
  // window already runs at the lowest priority there is.
  EXPECT_EQ(work, std::min(window + 10, 19));
  EXPECT_EQ(started, work);
  EXPECT_EQ(NiceOfThisThread(), window);  // the window's own thread keeps its priority
}

}  // namespace
}  // namespace trevalo
