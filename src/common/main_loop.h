#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace twk {

using Duration = std::chrono::nanoseconds;
using TimePoint = std::chrono::time_point<std::chrono::steady_clock, Duration>;

/// Seconds as a `Duration` (timers are given in seconds throughout the app).
constexpr Duration seconds(double s)
{
    return std::chrono::round<Duration>(std::chrono::duration<double>(s)); // 0.99 s + 0.01 s is 1 s
}

/// Shared state of one scheduled timer: whoever holds a handle can stop it.
class TimerState {
public:
    virtual ~TimerState() = default;
    bool isValid() const noexcept { return valid_.load(std::memory_order_acquire); }
    void invalidate()
    {
        if (valid_.exchange(false, std::memory_order_acq_rel)) onInvalidate();
    }

protected:
    /// Lets a loop release its timer's resources at once.
    virtual void onInvalidate() {}

private:
    std::atomic<bool> valid_{true};
};

/// A scheduled timer. Invalidating it guarantees its callback never runs
/// again (not at all, for a one-shot that has not fired). Copies share the
/// timer; dropping a handle does not stop it.
class TimerHandle {
public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}

    void invalidate() const
    {
        if (state_) state_->invalidate();
    }
    bool isValid() const noexcept { return state_ && state_->isValid(); }

private:
    std::shared_ptr<TimerState> state_;
};

/// The main thread's run loop: owns all state changes and every timer.
/// `post`, `after` and `every` may be called from any thread; callbacks run
/// on the main thread.
class MainLoop {
public:
    virtual ~MainLoop() = default;

    virtual void post(std::function<void()> fn) = 0;
    virtual TimerHandle after(Duration delay, std::function<void()> fn) = 0;
    /// Repeats every `interval` (first run one interval from now) until invalidated.
    virtual TimerHandle every(Duration interval, std::function<void()> fn) = 0;
    virtual TimePoint now() const = 0;
    virtual bool isMainThread() const = 0;
};

} // namespace twk
