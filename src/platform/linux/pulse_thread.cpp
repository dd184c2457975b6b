#include "platform/linux/pulse_thread.h"

#include <pulse/context.h>
#include <pulse/def.h>
#include <pulse/error.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

namespace twk {
namespace {

struct Deadline {
    PulseThread* thread;
    bool passed = false;
};

} // namespace

std::unique_ptr<PulseThread> PulseThread::start(const std::string& threadName)
{
    std::unique_ptr<PulseThread> thread(new PulseThread);
    thread->loop_ = pa_threaded_mainloop_new();
    if (thread->loop_ == nullptr) return nullptr;
    pa_threaded_mainloop_set_name(thread->loop_, threadName.c_str());
    if (pa_threaded_mainloop_start(thread->loop_) < 0) return nullptr;
    return thread;
}

PulseThread::~PulseThread()
{
    if (loop_ == nullptr) return;
    if (context_ != nullptr) {
        {
            Lock lock(*this);
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        context_ = nullptr;
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

VoidResult PulseThread::connect(const std::string& clientName, std::chrono::milliseconds timeout)
{
    Lock lock(*this);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), clientName.c_str());
    if (context_ == nullptr) return Error(pulseErrorDomain, PA_ERR_INTERNAL, "cannot create a sound server client");
    pa_context_set_state_callback(
        context_, [](pa_context*, void* self) { static_cast<PulseThread*>(self)->signal(); }, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return lastError("cannot reach the sound server");
    const bool settled = waitUntil(
        [this] {
            const auto state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        timeout);
    if (!settled) return Error(pulseErrorDomain, PA_ERR_TIMEOUT, "the sound server did not answer");
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) return lastError("cannot reach the sound server");
    return Unit{};
}

PulseThread::Lock::Lock(const PulseThread& thread) : loop_(thread.loop_)
{
    pa_threaded_mainloop_lock(loop_);
}

PulseThread::Lock::~Lock()
{
    pa_threaded_mainloop_unlock(loop_);
}

bool PulseThread::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    if (done()) return true;
    Deadline deadline{this};
    struct timeval when {};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(timeout.count()) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    pa_time_event* timer = api->time_new(
        api, &when,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
            auto* d = static_cast<Deadline*>(data);
            d->passed = true;
            d->thread->signal();
        },
        &deadline);
    while (!done() && !deadline.passed) pa_threaded_mainloop_wait(loop_);
    api->time_free(timer);
    return done();
}

void PulseThread::signal()
{
    pa_threaded_mainloop_signal(loop_, 0);
}

Error PulseThread::lastError(const std::string& what) const
{
    const int code = context_ != nullptr ? pa_context_errno(context_) : PA_ERR_INTERNAL;
    return Error(pulseErrorDomain, code, what + ": " + pa_strerror(code));
}

} // namespace twk
