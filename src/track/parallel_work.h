#pragma once
// Batch work spread over the machine's cores. The items are independent of each other, and
// whatever the caller can see (results, the order of the callbacks on its own thread) is
// the same with any number of threads.

#include <cstddef>
#include <functional>

namespace trevalo {

// The threads batch work uses: the machine's cores, or the number TREVALO_THREADS gives
// (1 runs everything on the calling thread, as tests and benchmarks compare against).
int WorkerThreadCount();

// Runs `work(i)` for every i below `count` on WorkerThreadCount() threads, the calling
// thread being one of them, and returns when every item is done. `finished(i)`, when given,
// runs on the calling thread in ascending order of i, after work(i) (for progress). Neither
// may throw; work(i) may touch only what belongs to item i, or what is safe to share.
void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work,
                       const std::function<void(std::size_t)>& finished = {});

}  // namespace trevalo
