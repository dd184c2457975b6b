#pragma once

#include "common/main_loop.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace twk::test {

/// A main loop on virtual time. Nothing runs until the test drives it:
/// `runPosted()` runs queued work, `advance(d)` moves the clock and fires due
/// timers in time order (equal times in scheduling order), `runUntil` also
/// waits in real time for work posted from other threads.
class VirtualMainLoop : public MainLoop {
public:
    VirtualMainLoop();
    ~VirtualMainLoop() override;

    void post(std::function<void()> fn) override;
    TimerHandle after(Duration delay, std::function<void()> fn) override;
    TimerHandle every(Duration interval, std::function<void()> fn) override;
    TimePoint now() const override;
    bool isMainThread() const override;

    /// Runs posted work, including work it posts, until none is left.
    size_t runPosted();
    void advance(Duration d);
    /// Runs posted work until `done()` holds, waiting up to `realTimeout`
    /// for other threads to post. Returns `done()`.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds realTimeout = std::chrono::milliseconds(5000));
    /// Valid timers still scheduled.
    size_t pendingTimers() const;

private:
    struct Timer {
        TimePoint due;
        uint64_t seq;
        Duration interval;
        bool repeating;
        std::shared_ptr<TimerState> state;
        std::shared_ptr<std::function<void()>> fn;
    };
    TimerHandle schedule(Duration delay, bool repeating, std::function<void()> fn);
    bool popDueTimer(TimePoint limit, Timer& out);

    mutable std::mutex mutex_;
    std::condition_variable posted_cv_;
    std::deque<std::function<void()>> posted_;
    std::vector<Timer> timers_;
    TimePoint now_{};
    uint64_t seq_ = 0;
    std::thread::id owner_;
};

} // namespace twk::test
