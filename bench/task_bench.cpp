// Cost of the coroutine machinery the app leans on: a task awaited inline,
// and a worker round trip (main -> worker -> main) through real threads.

#include "common/task.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using namespace twk;

/// A minimal real main loop for the benchmark: a queue drained by the
/// benchmark thread.
class QueueLoop : public MainLoop {
public:
    void post(std::function<void()> fn) override
    {
        {
            std::lock_guard lock(m_);
            q_.push_back(std::move(fn));
        }
        cv_.notify_one();
    }
    TimerHandle after(Duration, std::function<void()> fn) override
    {
        post(std::move(fn));
        return {};
    }
    TimerHandle every(Duration, std::function<void()>) override { return {}; }
    TimePoint now() const override { return {}; }
    bool isMainThread() const override { return std::this_thread::get_id() == owner_; }

    void runOne()
    {
        std::function<void()> fn;
        {
            std::unique_lock lock(m_);
            cv_.wait(lock, [&] { return !q_.empty(); });
            fn = std::move(q_.front());
            q_.pop_front();
        }
        fn();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> q_;
    std::thread::id owner_ = std::this_thread::get_id();
};

Task<int> leaf(int i) { co_return i + 1; }

Task<void> chain(int n, long long& out)
{
    for (int i = 0; i < n; ++i) out += co_await leaf(i);
}

void BM_InlineAwait(benchmark::State& state)
{
    QueueLoop loop;
    long long sum = 0;
    for (auto _ : state) {
        spawn(loop, chain(100, sum));
        loop.runOne();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_InlineAwait);

Task<void> roundTrip(QueueLoop& loop, WorkerPool& pool, bool& done)
{
    co_await onWorker(pool);
    co_await onMain(loop);
    done = true;
}

void BM_WorkerRoundTrip(benchmark::State& state)
{
    QueueLoop loop;
    WorkerPool pool(2);
    for (auto _ : state) {
        bool done = false;
        spawn(loop, roundTrip(loop, pool, done));
        while (!done) loop.runOne();
    }
}
BENCHMARK(BM_WorkerRoundTrip);

} // namespace

BENCHMARK_MAIN();
