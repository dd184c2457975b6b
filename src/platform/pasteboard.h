#pragma once

#include <optional>
#include <string>

namespace twk {

/// The desktop's clipboard, plain text only. Callable from any thread; each
/// call waits at most briefly for the application that owns the clipboard.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    /// The clipboard's text; nothing when it holds none or its owner does
    /// not answer.
    virtual std::optional<std::string> readString() = 0;
    /// Empties the clipboard.
    virtual void clear() = 0;
    /// Puts `text` (UTF-8) on the clipboard. False when it could not.
    virtual bool writeString(const std::string& text) = 0;
};

} // namespace twk
