#include "track/parallel_work.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace trevalo {

int WorkerThreadCount() {
  if (const char* given = std::getenv("TREVALO_THREADS"); given != nullptr) {
    if (const int count = std::atoi(given); count >= 1) {
      return count;
    }
  }
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work,
                       const std::function<void(std::size_t)>& finished) {
  std::atomic<std::size_t> next = 0;
  const std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[count]);
  for (std::size_t i = 0; i < count; ++i) {
    done[i].store(false, std::memory_order_relaxed);
  }
  // Items are taken one at a time, so that a few slow ones do not hold up a whole share.
  const auto takeItems = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      work(i);
      done[i].store(true, std::memory_order_release);
    }
  };
  const std::size_t helpers =
      std::min<std::size_t>(static_cast<std::size_t>(WorkerThreadCount()), count) - (count > 0);
  std::vector<std::jthread> threads;
  threads.reserve(helpers);
  for (std::size_t t = 0; t < helpers; ++t) {
    threads.emplace_back(takeItems);
  }
  std::size_t reported = 0;
  const auto reportFinished = [&] {
    while (finished && reported < count && done[reported].load(std::memory_order_acquire)) {
      finished(reported++);
    }
  };
  for (std::size_t i = next++; i < count; i = next++) {
    work(i);
    done[i].store(true, std::memory_order_release);
    reportFinished();
  }
  threads.clear();  // joins them
  reportFinished();
}

}  // namespace trevalo
