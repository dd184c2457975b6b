#include "platform/linux/pulse_output_volume.h"

#include "platform/linux/pulse_thread.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/volume.h>

#include <cmath>
#include <memory>

namespace twk {
namespace {

struct Sink {
    pa_cvolume volume;
    int channels;
};

struct SinkQuery {
    PulseThread* thread;
    bool done = false;
    std::optional<std::string> defaultSink = {};
    std::optional<Sink> sink = {};
};

struct Outcome {
    PulseThread* thread;
    bool done = false;
    bool success = false;
};

std::unique_ptr<PulseThread> connected(std::chrono::milliseconds timeout)
{
    auto thread = PulseThread::start("twk.pulse-vol");
    if (!thread || !thread->connect("tarnwick", timeout)) return nullptr;
    return thread;
}

/// Runs `start` (which issues one operation whose callback sets `done`)
/// and waits for it; false when the server did not answer in time.
template <typename State, typename Start>
bool await(PulseThread& thread, State& state, std::chrono::milliseconds timeout, Start start)
{
    pa_operation* op = start(thread.context(), &state);
    if (op == nullptr) return false;
    pa_operation_unref(op);
    return thread.waitUntil([&] { return state.done || !PA_CONTEXT_IS_GOOD(pa_context_get_state(thread.context())); },
                            timeout) &&
           state.done;
}

void onServer(pa_context*, const pa_server_info* info, void* data)
{
    auto* query = static_cast<SinkQuery*>(data);
    if (info != nullptr && info->default_sink_name != nullptr && *info->default_sink_name != '\0')
        query->defaultSink = info->default_sink_name;
    query->done = true;
    query->thread->signal();
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* data)
{
    auto* query = static_cast<SinkQuery*>(data);
    if (eol == 0 && info != nullptr) {
        query->sink = Sink{info->volume, info->channel_map.channels};
        return;
    }
    query->done = true;
    query->thread->signal();
}

void onSuccess(pa_context*, int success, void* data)
{
    auto* outcome = static_cast<Outcome*>(data);
    outcome->success = success != 0;
    outcome->done = true;
    outcome->thread->signal();
}

std::optional<Sink> sinkNamed(PulseThread& thread, const std::string& name, std::chrono::milliseconds timeout)
{
    SinkQuery query{&thread};
    const bool answered = await(thread, query, timeout, [&](pa_context* c, SinkQuery* q) {
        return pa_context_get_sink_info_by_name(c, name.c_str(), onSink, q);
    });
    return answered ? query.sink : std::nullopt;
}

} // namespace

std::optional<AudioOutputDevice> PulseOutputVolume::defaultOutput()
{
    const auto thread = connected(timeout_);
    if (!thread) return std::nullopt;
    PulseThread::Lock lock(*thread);
    SinkQuery server{thread.get()};
    if (!await(*thread, server, timeout_,
               [](pa_context* c, SinkQuery* q) { return pa_context_get_server_info(c, onServer, q); }) ||
        !server.defaultSink)
        return std::nullopt;
    // The server may name a default that is gone.
    const auto sink = sinkNamed(*thread, *server.defaultSink, timeout_);
    if (!sink) return std::nullopt;
    return AudioOutputDevice{*server.defaultSink, sink->channels};
}

bool PulseOutputVolume::setVolume(const std::string& deviceId, std::optional<int> channel, float scalar)
{
    if (!std::isfinite(scalar) || scalar < 0 || scalar > 1) return false;
    const auto thread = connected(timeout_);
    if (!thread) return false;
    PulseThread::Lock lock(*thread);
    const auto sink = sinkNamed(*thread, deviceId, timeout_);
    if (!sink) return false;
    const auto level = static_cast<pa_volume_t>(std::lround(scalar * PA_VOLUME_NORM));
    pa_cvolume volume = sink->volume;
    if (!channel) {
        pa_cvolume_set(&volume, static_cast<unsigned>(sink->channels), level);
    } else {
        if (*channel < 0 || *channel >= volume.channels) return false;
        volume.values[*channel] = level;
    }
    Outcome outcome{thread.get()};
    return await(*thread, outcome, timeout_,
                 [&](pa_context* c, Outcome* o) {
                     return pa_context_set_sink_volume_by_name(c, deviceId.c_str(), &volume, onSuccess, o);
                 }) &&
           outcome.success;
}

} // namespace twk
