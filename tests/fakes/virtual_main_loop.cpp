#include "fakes/virtual_main_loop.h"

#include <algorithm>

namespace twk::test {

VirtualMainLoop::VirtualMainLoop() : owner_(std::this_thread::get_id()) {}

VirtualMainLoop::~VirtualMainLoop()
{
    // Dropped outside the lock: dropping work may free suspended tasks,
    // whose destructors may post.
    std::deque<std::function<void()>> posted;
    std::vector<Timer> timers;
    {
        std::lock_guard lock(mutex_);
        posted.swap(posted_);
        timers.swap(timers_);
    }
    posted.clear();
    timers.clear();
}

void VirtualMainLoop::post(std::function<void()> fn)
{
    // Notified under the lock: the woken test may end and destroy the loop
    // the moment this worker lets go of it.
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
    posted_cv_.notify_all();
}

TimerHandle VirtualMainLoop::after(Duration delay, std::function<void()> fn)
{
    return schedule(delay, false, std::move(fn));
}

TimerHandle VirtualMainLoop::every(Duration interval, std::function<void()> fn)
{
    return schedule(interval, true, std::move(fn));
}

TimerHandle VirtualMainLoop::schedule(Duration delay, bool repeating, std::function<void()> fn)
{
    auto state = std::make_shared<TimerState>();
    std::lock_guard lock(mutex_);
    timers_.push_back({now_ + std::max(delay, Duration::zero()), seq_++, delay, repeating, state,
                       std::make_shared<std::function<void()>>(std::move(fn))});
    return TimerHandle(state);
}

TimePoint VirtualMainLoop::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

bool VirtualMainLoop::isMainThread() const
{
    return std::this_thread::get_id() == owner_;
}

size_t VirtualMainLoop::runPosted()
{
    size_t ran = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) return ran;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        fn();
        ++ran;
    }
}

bool VirtualMainLoop::popDueTimer(TimePoint limit, Timer& out)
{
    std::lock_guard lock(mutex_);
    std::erase_if(timers_, [](const Timer& t) { return !t.state->isValid(); });
    auto it = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
        return a.due != b.due ? a.due < b.due : a.seq < b.seq;
    });
    if (it == timers_.end() || it->due > limit) return false;
    out = *it;
    now_ = it->due;
    if (it->repeating) {
        // Re-armed before it runs, so the callback may invalidate it.
        it->due += std::max(it->interval, Duration(1));
        it->seq = seq_++;
    } else {
        timers_.erase(it);
    }
    return true;
}

void VirtualMainLoop::advance(Duration d)
{
    const TimePoint target = now() + d;
    runPosted();
    Timer timer;
    while (popDueTimer(target, timer)) {
        if (timer.state->isValid()) {
            if (!timer.repeating) timer.state->invalidate();
            (*timer.fn)();
        }
        runPosted();
    }
    {
        std::lock_guard lock(mutex_);
        now_ = target;
    }
    runPosted();
}

bool VirtualMainLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout)
{
    const auto deadline = std::chrono::steady_clock::now() + realTimeout;
    for (;;) {
        runPosted();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        if (!posted_cv_.wait_until(lock, deadline, [&] { return !posted_.empty(); })) return done();
    }
}

size_t VirtualMainLoop::pendingTimers() const
{
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(
        std::count_if(timers_.begin(), timers_.end(), [](const Timer& t) { return t.state->isValid(); }));
}

} // namespace twk::test
