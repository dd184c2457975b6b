#pragma once

#include "platform/text_messages.h"

#include <chrono>

namespace twk {

/// Text messages through a phone paired with KDE Connect: the first
/// reachable paired device that offers SMS sends it. Talks to the KDE
/// Connect daemon on the session bus; callable from any thread.
class KdeConnectTextMessages : public TextMessages {
public:
    /// How long the daemon may take over each question.
    explicit KdeConnectTextMessages(std::chrono::milliseconds callLimit = std::chrono::seconds(5))
        : callLimit_(callLimit)
    {
    }

    std::optional<std::string> send(const std::string& recipient, const std::string& text) override;
    /// The contacts the phone shared through KDE Connect's contacts plugin.
    std::vector<PhoneContact> contacts() override;

private:
    /// The reachable paired phone that sends SMS, or why there is none.
    struct SmsDevice {
        std::optional<std::string> id;
        std::string problem;
    };
    SmsDevice smsDevice() const;

    std::chrono::milliseconds callLimit_;
};

} // namespace twk
