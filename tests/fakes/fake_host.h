#pragma once

#include "platform/host.h"

namespace twk::test {

class FakeHost : public Host {
public:
    std::string fullName = "Ada Lovelace";
    std::string shortName = "ada";
    std::optional<std::string> machineName = "Ada's Laptop";
    std::string zone = "America/Los_Angeles";
    LocalTime now{2026, 5, 20, 3, 13, 14, 5, "PDT", -7 * 3600};
    std::optional<std::string> music;

    std::string fullUserName() const override { return fullName; }
    std::string shortUserName() const override { return shortName; }
    std::optional<std::string> displayName() const override { return machineName; }
    std::string timeZoneIdentifier() const override { return zone; }
    LocalTime localTime() const override { return now; }
    std::optional<std::string> musicFolder() const override { return music; }
};

} // namespace twk::test
