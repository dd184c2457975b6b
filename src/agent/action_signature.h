#pragma once

#include "backend/wire_records.h"

#include <optional>
#include <string>

namespace twk::agent {

/// What makes two tool uses "the same action" when looking for an agent
/// that repeats itself; nothing for tools that only look or plan.
std::optional<std::string> actionSignature(const AgentToolUse& use);

} // namespace twk::agent
