#include "platform/linux/qt_network_thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>

namespace twk {
namespace {

const QEvent::Type kRunQueued = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

/// Receives only the wake-up events, so it never needs to look at them: the
/// event object crosses threads through Qt's own locks, which race checkers
/// cannot see.
class QtNetworkThread::Waker : public QObject {
public:
    explicit Waker(QtNetworkThread& owner) : owner_(owner) {}

    bool event(QEvent*) override
    {
        owner_.runQueued();
        return true;
    }

private:
    QtNetworkThread& owner_;
};

QtNetworkThread::QtNetworkThread()
{
    thread_ = std::thread([this] { run(); });
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return loop_ != nullptr; });
}

QtNetworkThread::~QtNetworkThread()
{
    stop();
}

void QtNetworkThread::run()
{
    QEventLoop loop;
    QObject context;
    Waker waker(*this);
    {
        std::lock_guard lock(mutex_);
        loop_ = &loop;
        context_ = &context;
        waker_ = &waker;
    }
    ready_.notify_all();
    loop.exec();
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
        waker_ = nullptr;
        context_ = nullptr;
    }
    // `context` then deletes the sockets still parented to it, here on their thread.
}

QObject* QtNetworkThread::context() const
{
    return context_;
}

bool QtNetworkThread::post(std::function<void()> fn)
{
    std::lock_guard lock(mutex_);
    if (!running_) return false;
    enqueue(std::move(fn));
    return true;
}

void QtNetworkThread::enqueue(std::function<void()> fn)
{
    const bool wake = queue_.empty();
    queue_.push_back(std::move(fn));
    // One wake-up runs everything queued before it runs.
    if (wake) QCoreApplication::postEvent(waker_, new QEvent(kRunQueued));
}

void QtNetworkThread::runQueued()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    for (auto& fn : batch) fn();
}

void QtNetworkThread::stop()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        running_ = false;
        enqueue([this] { loop_->quit(); });
    }
    thread_.join();
}

} // namespace twk
