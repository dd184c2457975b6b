#pragma once

#include <string>

namespace twk {

/// The outcome of one tool call: the text returned to the speech model as
/// the call's output, and for `image` also a PNG screenshot (standard
/// base64) that the session attaches for the model to look at.
struct ToolResult {
    enum class Kind { text, image };

    Kind kind = Kind::text;
    std::string text;
    std::string base64PNG; // only for `image`

    static ToolResult textResult(std::string text) { return {Kind::text, std::move(text), {}}; }
    static ToolResult imageResult(std::string text, std::string base64PNG)
    {
        return {Kind::image, std::move(text), std::move(base64PNG)};
    }

    friend bool operator==(const ToolResult&, const ToolResult&) = default;
};

} // namespace twk
