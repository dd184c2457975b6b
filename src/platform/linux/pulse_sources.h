#pragma once

#include "common/expected.h"

#include <pulse/sample.h>

#include <chrono>
#include <string>
#include <vector>

namespace twk {

struct PulseSource {
    std::string name;
    std::string description;
    pa_sample_spec sampleSpec{};
    /// A monitor of an output rather than a microphone.
    bool monitor = false;
};

struct PulseSources {
    std::vector<PulseSource> sources;
    std::string defaultSource;
};

/// The sound server's capture sources in its own order, and its default
/// source. An error when no server answers within `timeout`.
Expected<PulseSources> listPulseSources(std::chrono::milliseconds timeout);

} // namespace twk
