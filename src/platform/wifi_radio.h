#pragma once

#include <optional>
#include <string>

namespace twk {

/// The computer's Wi-Fi radio. Callable from any thread; calls wait for the
/// network service's answer (briefly).
class WifiRadio {
public:
    virtual ~WifiRadio() = default;

    /// The name of a Wi-Fi device ("wlan0"); nothing when there is none or
    /// the network service does not answer.
    virtual std::optional<std::string> wifiDevice() = 0;
    /// Switches the radio on or off. Nothing on success, else the refusal's
    /// text (the service's or the system's own words).
    virtual std::optional<std::string> setWirelessEnabled(bool on) = 0;
};

} // namespace twk
