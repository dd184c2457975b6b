#pragma once

#include <mutex>

namespace twk {

/// The one cross-thread stop flag: the agent resets it when a task starts and
/// polls it once per round; the stop tool and the session watchdog cancel it.
/// The flag stays set until the next reset; nothing waits on it. One instance
/// per application, built by the composition root.
class CancellationToken {
public:
    void cancel();
    void reset();
    bool cancelled() const;

private:
    mutable std::mutex lock;
    bool _cancelled = false;
};

} // namespace twk
