#include "platform/linux/pulse_probe.h"

#include "platform/linux/pulse_sources.h"

#include <algorithm>

namespace twk {

int countPulseInputs(std::chrono::milliseconds timeout)
{
    const auto listed = listPulseSources(timeout);
    if (!listed) return -1;
    const auto& sources = listed.value().sources;
    return static_cast<int>(std::count_if(sources.begin(), sources.end(), [](const auto& s) { return !s.monitor; }));
}

} // namespace twk
