#pragma once

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// A person in the phone's address book.
struct PhoneContact {
    std::string name;
    std::vector<std::string> numbers;
};

/// Text messages (SMS) sent through the user's own phone. Callable from any
/// thread; blocks until the phone's link has taken the message or refused.
class TextMessages {
public:
    virtual ~TextMessages() = default;

    /// Sends `text` to the phone number `recipient`: nothing once handed to
    /// the phone, else why not, worded for the user.
    virtual std::optional<std::string> send(const std::string& recipient, const std::string& text) = 0;
    /// The address book the phone shared with this computer; empty when it
    /// shared none or no phone is reachable.
    virtual std::vector<PhoneContact> contacts() = 0;
};

} // namespace twk
