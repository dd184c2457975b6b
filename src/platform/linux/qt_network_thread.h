#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class QEventLoop;
class QObject;

namespace twk {

/// A thread running a Qt event loop for network objects, so that their
/// sockets and callbacks never wait on the main thread. Objects created in
/// posted work live on it; work still queued when it stops is dropped.
///
/// A standard thread hosts the loop rather than a QThread: joining it is a
/// synchronisation race checkers can see, which QThread::wait() is not.
class QtNetworkThread {
public:
    /// Needs the QCoreApplication; returns once the loop is ready.
    QtNetworkThread();
    /// Stops the thread; must not run on the thread itself.
    ~QtNetworkThread();
    QtNetworkThread(const QtNetworkThread&) = delete;
    QtNetworkThread& operator=(const QtNetworkThread&) = delete;

    /// Runs `fn` on the thread, after the work posted before it. Returns
    /// false once the thread is stopping. Thread-safe.
    bool post(std::function<void()> fn);
    /// Parent for objects that must go when the thread stops (use on the thread).
    QObject* context() const;
    /// Deletes the objects under `context()` and ends the thread. Idempotent.
    void stop();

    class Waker;

private:
    void run();
    void enqueue(std::function<void()> fn);
    void runQueued();

    // The work goes through this queue rather than Qt's, so that the
    // hand-over is visible to race checkers; Qt only carries the wake-up.
    std::mutex mutex_;
    std::condition_variable ready_;
    bool running_ = true;
    std::deque<std::function<void()>> queue_;
    QEventLoop* loop_ = nullptr;
    QObject* context_ = nullptr;
    Waker* waker_ = nullptr;
    std::thread thread_;
};

} // namespace twk
