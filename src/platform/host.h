#pragma once

#include <optional>
#include <string>

namespace twk {

/// A moment on the local wall clock, broken down in the current time zone.
struct LocalTime {
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int weekday = 4; // 0 = Sunday .. 6 = Saturday
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
    /// The zone's abbreviation for this moment as the system names it
    /// ("PDT", "CEST", "+03"); empty when it has none.
    std::string zoneAbbreviation;
    /// Offset from UTC at this moment, east positive.
    long utcOffsetSeconds = 0;
};

/// Who and where the program runs: what the speech model is told about the
/// user and the machine when a session starts. Callable from any thread.
class Host {
public:
    virtual ~Host() = default;

    /// The account's full name; empty when the account has none.
    virtual std::string fullUserName() const = 0;
    /// The account's login name.
    virtual std::string shortUserName() const = 0;
    /// The name the user gave this machine; nothing when it has no name.
    virtual std::optional<std::string> displayName() const = 0;
    /// IANA identifier of the current time zone ("Europe/Berlin").
    virtual std::string timeZoneIdentifier() const = 0;
    /// The current time in the current time zone.
    virtual LocalTime localTime() const = 0;
    /// The folder holding the user's own music; nothing when the user has
    /// none (or turned it off).
    virtual std::optional<std::string> musicFolder() const = 0;
};

} // namespace twk
