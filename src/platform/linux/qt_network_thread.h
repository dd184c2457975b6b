#pragma once

#include <functional>
#include <memory>
#include <mutex>

class QObject;
class QThread;

namespace twk {

/// A thread running a Qt event loop for network objects, so that their
/// sockets and callbacks never wait on the main thread. Objects created in
/// posted work live on it; work still queued when it stops is dropped.
class QtNetworkThread {
public:
    QtNetworkThread();
    /// Stops the thread; must not run on the thread itself.
    ~QtNetworkThread();
    QtNetworkThread(const QtNetworkThread&) = delete;
    QtNetworkThread& operator=(const QtNetworkThread&) = delete;

    /// Runs `fn` on the thread. Returns false once the thread has stopped.
    /// Thread-safe.
    bool post(std::function<void()> fn);
    /// Parent for objects that must go when the thread stops (use on the thread).
    QObject* context() const { return context_; }
    /// Deletes the objects under `context()` and ends the thread. Idempotent.
    void stop();

private:
    std::mutex mutex_;
    bool running_ = true;
    std::unique_ptr<QThread> thread_;
    QObject* context_ = nullptr;
};

} // namespace twk
