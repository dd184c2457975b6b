#pragma once

#include "common/expected.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

struct pa_context;
struct pa_threaded_mainloop;

namespace twk {

/// Domain of errors reported by the sound server's client library.
inline constexpr const char* pulseErrorDomain = "pulseaudio";

/// A PulseAudio client connection served by its own thread. Callbacks of the
/// context and of its streams run on that thread with the loop locked; other
/// threads take `Lock` before touching them.
class PulseThread {
public:
    /// Starts the thread (named `threadName`; the kernel keeps 15 bytes).
    /// Returns null when the thread cannot be started.
    static std::unique_ptr<PulseThread> start(const std::string& threadName);
    /// Disconnects and joins the thread. Must not run on that thread.
    ~PulseThread();
    PulseThread(const PulseThread&) = delete;
    PulseThread& operator=(const PulseThread&) = delete;

    /// Connects to the user's sound server (never spawning one).
    VoidResult connect(const std::string& clientName, std::chrono::milliseconds timeout);

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    class Lock {
    public:
        explicit Lock(const PulseThread& thread);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    /// With the lock held: sleeps until `done()` holds or `timeout` passes
    /// (the loop must be woken by `signal()` when what `done` checks changes).
    /// Returns `done()`.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    /// Wakes `waitUntil`. Called from callbacks on the loop thread.
    void signal();

    /// The context's last error as an `Error` of `pulseErrorDomain`.
    Error lastError(const std::string& what) const;

private:
    PulseThread() = default;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

} // namespace twk
