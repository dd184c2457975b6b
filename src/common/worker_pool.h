#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace twk {

/// Threads for work that blocks (skills, accessibility waits, file I/O).
/// Jobs still queued when the pool is destroyed are dropped unrun.
class WorkerPool {
public:
    explicit WorkerPool(unsigned threads = 4);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    /// Waits for the jobs running now and drops the queued ones; later posts
    /// are dropped. The owner calls it before freeing what the jobs use.
    /// Not from a worker thread.
    void stop();

    void post(std::function<void()> job);
    bool isWorkerThread() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace twk
