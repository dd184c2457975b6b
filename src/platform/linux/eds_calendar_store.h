#pragma once

#include "platform/calendar_store.h"

namespace twk {

/// The user's tasks and calendars in Evolution Data Server, the store that
/// GNOME Calendar, GNOME To Do, Evolution and the desktop's clock read.
/// Times are saved in UTC, converted from the computer's time zone.
/// Callable from any thread: each call connects, saves and disconnects.
class EdsCalendarStore : public CalendarStore {
public:
    std::optional<std::string> addTask(const std::string& summary, const std::optional<WallClockTime>& due) override;
    std::optional<std::string> addEvent(const std::string& summary, const WallClockTime& start,
                                        long long minutes) override;
};

} // namespace twk
