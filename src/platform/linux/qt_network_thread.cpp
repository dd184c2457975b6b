#include "platform/linux/qt_network_thread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace twk {

QtNetworkThread::QtNetworkThread() : thread_(std::make_unique<QThread>()), context_(new QObject)
{
    thread_->setObjectName("twk-network");
    context_->moveToThread(thread_.get());
    // Deferred deletions still run once the loop has ended, on the thread.
    QObject::connect(thread_.get(), &QThread::finished, context_, &QObject::deleteLater);
    thread_->start();
}

QtNetworkThread::~QtNetworkThread()
{
    stop();
}

bool QtNetworkThread::post(std::function<void()> fn)
{
    std::lock_guard lock(mutex_);
    if (!running_) return false;
    return QMetaObject::invokeMethod(context_, std::move(fn), Qt::QueuedConnection);
}

void QtNetworkThread::stop()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        running_ = false;
    }
    thread_->quit();
    thread_->wait();
}

} // namespace twk
