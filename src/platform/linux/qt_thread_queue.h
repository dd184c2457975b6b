#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace twk {

/// Runs functions on the thread of a QObject, posted from any thread.
///
/// The functions travel through a std::mutex-guarded queue and Qt only
/// carries the wake-up: Qt's own locks are invisible to ThreadSanitizer, so
/// handing the functions over through them would hide real races among the
/// reports. Functions still queued when the queue is destroyed are dropped
/// unrun (waiting tasks are freed).
class QtThreadQueue {
public:
    /// `context` decides the thread; it must outlive the queue.
    explicit QtThreadQueue(QObject* context) : context_(context) {}
    ~QtThreadQueue();
    QtThreadQueue(const QtThreadQueue&) = delete;
    QtThreadQueue& operator=(const QtThreadQueue&) = delete;

    void post(std::function<void()> fn);

private:
    void drain();

    QObject* context_;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    bool wakeScheduled_ = false;
};

} // namespace twk
