#pragma once

#include <chrono>

namespace twk {

/// Number of capture sources (monitors of outputs excluded) the sound server
/// offers, or -1 when no server answers within `timeout`.
int countPulseInputs(std::chrono::milliseconds timeout);

} // namespace twk
