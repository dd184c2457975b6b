#include "platform/linux/qt_main_loop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace twk {
namespace {

// Qt passes posted events to the main thread under its own futex-based
// locks, which ThreadSanitizer cannot see. The hand-off is announced to it
// explicitly: everything written before posting is visible after delivery.
#if defined(__SANITIZE_THREAD__)
char handOff;
void publishForMainThread()
{
    __tsan_release(&handOff);
}
void receiveOnMainThread()
{
    __tsan_acquire(&handOff);
}
#else
void publishForMainThread() {}
void receiveOnMainThread() {}
#endif

const QEvent::Type postedCallType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedCall : QEvent {
    explicit PostedCall(std::function<void()> f) : QEvent(postedCallType), fn(std::move(f)) {}
    std::function<void()> fn;
};

} // namespace

/// Runs posted calls; its pending events (and their calls) die with it.
class QtMainLoop::Context : public QObject {
public:
    bool event(QEvent* e) override
    {
        receiveOnMainThread(); // before anything of the event is read
        if (e->type() != postedCallType) return QObject::event(e);
        static_cast<PostedCall*>(e)->fn();
        return true;
    }
};

namespace {

class QtTimerState : public TimerState, public std::enable_shared_from_this<QtTimerState> {
public:
    explicit QtTimerState(QtMainLoop& loop) : loop_(loop) {}

    QPointer<QTimer> timer; // touched on the main thread only

protected:
    void onInvalidate() override
    {
        // Deleted later, never inside its own timeout.
        loop_.post([self = shared_from_this()] {
            if (self->timer) self->timer->deleteLater();
        });
    }

private:
    QtMainLoop& loop_;
};

} // namespace

QtMainLoop::QtMainLoop() : context_(std::make_unique<Context>()) {}

QtMainLoop::~QtMainLoop() = default;

void QtMainLoop::post(std::function<void()> fn)
{
    auto* call = new PostedCall(std::move(fn));
    publishForMainThread();
    QCoreApplication::postEvent(context_.get(), call);
}

TimerHandle QtMainLoop::after(Duration delay, std::function<void()> fn)
{
    return schedule(delay, false, std::move(fn));
}

TimerHandle QtMainLoop::every(Duration interval, std::function<void()> fn)
{
    return schedule(interval, true, std::move(fn));
}

TimerHandle QtMainLoop::schedule(Duration delay, bool repeating, std::function<void()> fn)
{
    auto state = std::make_shared<QtTimerState>(*this);
    auto create = [this, state, delay, repeating, fn = std::move(fn)]() mutable {
        if (!state->isValid()) return;
        auto* timer = new QTimer(context_.get());
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(!repeating);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::max(delay, Duration::zero()));
        timer->setInterval(ms);
        state->timer = timer;
        // The timer (owned by the loop's context) keeps the state alive, so a
        // dropped handle does not stop it; the state only points back weakly.
        QObject::connect(timer, &QTimer::timeout, timer, [state, repeating, fn = std::move(fn)] {
            if (!state->isValid()) return;
            if (!repeating) state->invalidate(); // a fired one-shot is spent
            fn();
        });
        timer->start();
    };
    if (isMainThread())
        create();
    else
        post(std::move(create));
    return TimerHandle(state);
}

TimePoint QtMainLoop::now() const
{
    return std::chrono::time_point_cast<Duration>(std::chrono::steady_clock::now());
}

bool QtMainLoop::isMainThread() const
{
    return QThread::currentThread() == context_->thread();
}

} // namespace twk
