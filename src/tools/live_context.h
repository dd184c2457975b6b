#pragma once

#include "platform/host.h"

#include <string>

namespace twk {

/// The block of facts that opens the system prompt: who the user is, which
/// machine this is, and the date and time at this moment, so the model can
/// answer such questions without a tool. Ends without a newline.
std::string liveContext(const Host& host);

} // namespace twk
