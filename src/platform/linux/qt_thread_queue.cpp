#include "platform/linux/qt_thread_queue.h"

#include <QMetaObject>

namespace twk {

QtThreadQueue::~QtThreadQueue()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
    }
}

void QtThreadQueue::post(std::function<void()> fn)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
        if (wakeScheduled_) return;
        wakeScheduled_ = true;
    }
    QMetaObject::invokeMethod(context_, [this] { drain(); }, Qt::QueuedConnection);
}

void QtThreadQueue::drain()
{
    // Only what is queued now: work posted meanwhile waits for its own wake-up,
    // so a busy poster cannot starve the thread's other events.
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        wakeScheduled_ = false;
    }
    for (auto& fn : batch) fn();
}

} // namespace twk
