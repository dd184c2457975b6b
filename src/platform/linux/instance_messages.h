#pragma once

#include "common/expected.h"
#include "tools/tool_result.h"

#include <string>
#include <string_view>

namespace twk {

/// The lines of a tool call handed to the running instance (see
/// SingleInstance): the request "tool {"name":…,"args":…}" and the answers
/// "result {"text":…[,"image":…]}" or "error <reason>". Each line is one
/// JSON text after its verb, so any bytes of the call fit on one line.
struct ForwardedToolCall {
    std::string name;
    std::string args;
};

/// The request line, without its newline.
std::string toolRequestLine(const ForwardedToolCall& call);
/// The call in a request's JSON text (the part after "tool ").
Expected<ForwardedToolCall> parseToolRequest(std::string_view json);

/// The answer line for a finished call, without its newline.
std::string toolResultLine(const ToolResult& result);
/// The result in an answer line; an "error" line or garbage is an error.
Expected<ToolResult> parseToolAnswer(std::string_view line);

} // namespace twk
