#pragma once

#include "tools/argument_readers.h"

#include <string>

namespace twk {

/// The one-line, human-readable text shown while the tool `name` runs with
/// `args`. Never fails; unknown names read as their words.
std::string activityLabel(const std::string& name, const ToolArgs& args);

} // namespace twk
