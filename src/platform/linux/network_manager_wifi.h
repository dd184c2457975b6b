#pragma once

#include "platform/wifi_radio.h"

#include <chrono>

namespace twk {

/// The Wi-Fi radio through NetworkManager on the system bus (the bus named
/// by DBUS_SYSTEM_BUS_ADDRESS, else the standard one). Refusals, such as
/// polkit's when the user may not control networking, come back in
/// NetworkManager's own words.
class NetworkManagerWifi : public WifiRadio {
public:
    explicit NetworkManagerWifi(std::chrono::milliseconds timeout = std::chrono::seconds(5)) : timeout_(timeout) {}

    std::optional<std::string> wifiDevice() override;
    std::optional<std::string> setWirelessEnabled(bool on) override;

private:
    std::chrono::milliseconds timeout_;
};

} // namespace twk
