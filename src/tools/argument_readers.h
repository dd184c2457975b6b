#pragma once

// Reading a tool call's arguments. Every reader takes the parsed argument
// object and a key and never fails: a missing or unusable value gives the
// reader's "nothing".

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twk {

/// A tool call's arguments: always a JSON object.
using ToolArgs = nlohmann::json;

/// Parses the arguments text. Text that is not a JSON object (malformed,
/// not UTF-8, an array, a bare value) gives an empty object: a sloppy
/// argument text is never itself an error.
ToolArgs parseToolArgs(std::string_view argsJson);

/// The value if it is a string (an empty one counts), else "".
std::string strArg(const ToolArgs& args, std::string_view key);
/// The value if it is a non-empty string.
std::optional<std::string> optStrArg(const ToolArgs& args, std::string_view key);
/// An integer; a fractional number truncated toward zero; or a string of
/// base-10 digits with an optional sign and nothing else. Values outside the
/// 64-bit range give nothing.
std::optional<int64_t> intArg(const ToolArgs& args, std::string_view key);
/// A number, or a string that is wholly a decimal floating-point number
/// (read the same whatever the user's locale).
std::optional<double> doubleArg(const ToolArgs& args, std::string_view key);
/// A boolean; a number (non-zero is true); or a string, true exactly when it
/// is "true", "1", "yes" or "on" in any letter case. Absent, null, arrays
/// and objects give nothing.
std::optional<bool> boolArg(const ToolArgs& args, std::string_view key);
/// The value if it is an array of strings only, else the empty list.
std::vector<std::string> stringListArg(const ToolArgs& args, std::string_view key);

} // namespace twk
