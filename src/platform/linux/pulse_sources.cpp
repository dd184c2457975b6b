#include "platform/linux/pulse_sources.h"

#include "platform/linux/pulse_thread.h"

#include <pulse/context.h>
#include <pulse/def.h>
#include <pulse/error.h>
#include <pulse/introspect.h>

namespace twk {
namespace {

struct Query {
    PulseThread* thread;
    PulseSources result;
    bool listed = false;
    bool serverKnown = false;
};

void onSource(pa_context*, const pa_source_info* info, int eol, void* data)
{
    auto* query = static_cast<Query*>(data);
    if (eol != 0) {
        query->listed = true;
        query->thread->signal();
        return;
    }
    if (info == nullptr) return;
    query->result.sources.push_back(PulseSource{info->name != nullptr ? info->name : "",
                                                info->description != nullptr ? info->description : "",
                                                info->sample_spec, info->monitor_of_sink != PA_INVALID_INDEX});
}

void onServer(pa_context*, const pa_server_info* info, void* data)
{
    auto* query = static_cast<Query*>(data);
    if (info != nullptr && info->default_source_name != nullptr) query->result.defaultSource = info->default_source_name;
    query->serverKnown = true;
    query->thread->signal();
}

} // namespace

Expected<PulseSources> listPulseSources(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto thread = PulseThread::start("twk.pulse-query");
    if (!thread) return Error(pulseErrorDomain, PA_ERR_INTERNAL, "cannot start the sound server client");
    if (auto connected = thread->connect("tarnwick", timeout); !connected) return connected.error();

    Query query{thread.get(), {}, false, false};
    PulseThread::Lock lock(*thread);
    pa_context* context = thread->context();
    if (pa_operation* op = pa_context_get_server_info(context, onServer, &query)) pa_operation_unref(op);
    if (pa_operation* op = pa_context_get_source_info_list(context, onSource, &query)) pa_operation_unref(op);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const bool answered = thread->waitUntil(
        [&] {
            return (query.listed && query.serverKnown) || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context));
        },
        std::max(left, std::chrono::milliseconds(0)));
    if (!answered) return Error(pulseErrorDomain, PA_ERR_TIMEOUT, "the sound server did not answer");
    if (!query.listed || !query.serverKnown) return thread->lastError("the sound server went away");
    return std::move(query.result);
}

} // namespace twk
