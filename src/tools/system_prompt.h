#pragma once

#include "app/app_types.h"

#include <string>
#include <string_view>

namespace twk {

/// The fixed instructions that follow the live context: who the assistant
/// is, honesty about tool results, planning, silence, and which tool fits
/// which request. Ends without a newline.
std::string_view basePrompt();

/// The closing line that sets how much the assistant says.
std::string_view verbosityLine(Verbosity verbosity);

/// The session's instructions: the live context, a blank line, the base
/// prompt and the verbosity line.
std::string systemPrompt(const std::string& liveContext, Verbosity verbosity);

} // namespace twk
