#pragma once

// Reading the input of one of the agent model's tool uses. Missing or
// unusable values fall back; nothing here fails.

#include "tools/argument_readers.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twk::agent {

/// A number, or a string that is wholly a decimal number.
std::optional<double> num(const ToolArgs& input, std::string_view key);

/// An integer; else the number reading truncated toward zero; else 0.
/// Values beyond int's range count as unreadable.
int integerInput(const ToolArgs& input, std::string_view key);

/// The value as plain text: a number in decimal (whole numbers without a
/// fraction), a string as itself; nothing when absent.
std::optional<std::string> printed(const ToolArgs& input, std::string_view key);

/// The string elements of an array, in order, others skipped; empty when
/// the value is not an array.
std::vector<std::string> stringList(const ToolArgs& input, std::string_view key);

} // namespace twk::agent
