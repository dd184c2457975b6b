#pragma once

#include "common/worker_pool.h"

#include <future>

namespace twk::test {

/// Runs `work` on `thread` and waits for its result (accessibility calls
/// belong to their one thread).
template <typename F>
auto runOnThread(WorkerPool& thread, F work) -> decltype(work())
{
    std::packaged_task<decltype(work())()> job(std::move(work));
    auto result = job.get_future();
    thread.post([&job] { job(); });
    return result.get();
}

} // namespace twk::test
