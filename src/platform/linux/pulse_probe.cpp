#include "platform/linux/pulse_probe.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

namespace twk {
namespace {

struct Probe {
    int inputs = 0;
    bool listed = false;
};

void onSource(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* probe = static_cast<Probe*>(userdata);
    if (eol != 0) {
        probe->listed = true;
        return;
    }
    if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) ++probe->inputs;
}

} // namespace

int countPulseInputs(std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) return -1;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "tarnwick-probe");
    Probe probe;
    bool requested = false;
    int result = -1;
    if (context != nullptr && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        while (Clock::now() < deadline) {
            const auto state = pa_context_get_state(context);
            if (!PA_CONTEXT_IS_GOOD(state)) break;
            if (state == PA_CONTEXT_READY && !requested) {
                if (pa_operation* op = pa_context_get_source_info_list(context, onSource, &probe)) pa_operation_unref(op);
                requested = true;
            }
            if (probe.listed) {
                result = probe.inputs;
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (pa_mainloop_prepare(loop, static_cast<int>(std::max<long long>(left.count(), 0))) < 0) break;
            if (pa_mainloop_poll(loop) < 0) break;
            if (pa_mainloop_dispatch(loop) < 0) break;
        }
        pa_context_disconnect(context);
    }
    if (context != nullptr) pa_context_unref(context);
    pa_mainloop_free(loop);
    return result;
}

} // namespace twk
