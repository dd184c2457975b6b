#pragma once

#include "platform/calendar_store.h"
#include "platform/host.h"

#include <optional>
#include <string_view>

namespace twk {

/// The wall-clock time a spoken date phrase names, counted from `now`:
///   "now", "in 2 hours", "in an hour", "in 30 minutes", "in 3 days";
///   a day ("today", "tonight", "tomorrow", "friday", "next friday",
///   "2026-12-24", "12/24", "december 24th", "24 december 2027") and/or a
///   time ("3pm", "3:30 pm", "15:00", "at 9", "noon", "midnight",
///   "morning", "evening"), in either order, with "at", "on", "the" and
///   commas ignored. A day alone is at 9 am; a time alone is its next
///   occurrence; a bare weekday is the coming one (today included), "next"
///   skips today; a month and day without a year is the next one to come.
///   Nothing for a phrase with any word it cannot place, or an impossible
///   date or time.
std::optional<WallClockTime> readDatePhrase(std::string_view phrase, const LocalTime& now);

} // namespace twk
