#pragma once

#include <optional>
#include <string>

namespace twk {

/// Text messages (SMS) sent through the user's own phone. Callable from any
/// thread; blocks until the phone's link has taken the message or refused.
class TextMessages {
public:
    virtual ~TextMessages() = default;

    /// Sends `text` to the phone number `recipient`: nothing once handed to
    /// the phone, else why not, worded for the user.
    virtual std::optional<std::string> send(const std::string& recipient, const std::string& text) = 0;
};

} // namespace twk
