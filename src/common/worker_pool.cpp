#include "common/worker_pool.h"

#include <algorithm>

namespace twk {

WorkerPool::WorkerPool(unsigned threads)
{
    threads_.reserve(std::max(1u, threads));
    for (unsigned i = 0; i < std::max(1u, threads); ++i) threads_.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() { stop(); }

void WorkerPool::stop()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped.swap(jobs_);
    }
    wake_.notify_all();
    for (auto& t : threads_)
        if (t.joinable()) t.join();
    // Dropped after the join, outside the lock: a job's destructor may post
    // (and be refused) or free a suspended coroutine.
    dropped.clear();
}

void WorkerPool::post(std::function<void()> job)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool WorkerPool::isWorkerThread() const
{
    const auto self = std::this_thread::get_id();
    return std::any_of(threads_.begin(), threads_.end(), [&](const std::thread& t) { return t.get_id() == self; });
}

void WorkerPool::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

} // namespace twk
