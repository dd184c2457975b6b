#pragma once

#include "platform/host.h"

#include <string>

namespace twk {

/// The user from the account database (GECOS full name), the machine's
/// pretty name from machine-info (else the host name), and the time zone
/// the C library uses: TZ when set, else the zone /etc/localtime links to,
/// else /etc/timezone. The music folder is the XDG user directory
/// XDG_MUSIC_DIR (user-dirs.dirs in the config home), else ~/Music.
class LinuxHost : public Host {
public:
    /// `etcDir` is where machine-info, localtime and timezone are read.
    explicit LinuxHost(std::string etcDir = "/etc");

    std::string fullUserName() const override;
    std::string shortUserName() const override;
    std::optional<std::string> displayName() const override;
    std::string timeZoneIdentifier() const override;
    LocalTime localTime() const override;
    std::optional<std::string> musicFolder() const override;

private:
    std::string etcDir_;
};

/// The full name in a passwd GECOS field ("Ada Lovelace,Room 1,,"): its
/// first comma-separated part, trimmed.
std::string fullNameFromGecos(const std::string& gecos);

} // namespace twk
