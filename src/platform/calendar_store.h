#pragma once

#include <optional>
#include <string>

namespace twk {

/// A moment on the user's wall clock, in the computer's time zone.
struct WallClockTime {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;  // 0..23
    int minute = 0;

    bool operator==(const WallClockTime&) const = default;
};

/// The user's own task lists and calendars, the ones their calendar and
/// to-do applications show. Callable from any thread; blocks until the
/// store has saved the item or refused.
class CalendarStore {
public:
    virtual ~CalendarStore() = default;

    /// Adds a task to the default task list, due at `due` when given:
    /// nothing once saved, else why not, worded for the user.
    virtual std::optional<std::string> addTask(const std::string& summary, const std::optional<WallClockTime>& due) = 0;
    /// Adds an event from `start` for `minutes` to the calendar named
    /// "Home" when there is one, else to the default calendar.
    virtual std::optional<std::string> addEvent(const std::string& summary, const WallClockTime& start,
                                                long long minutes) = 0;
};

} // namespace twk
