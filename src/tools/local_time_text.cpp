#include "tools/local_time_text.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace twk {
namespace {

constexpr std::array<const char*, 7> weekdays{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> months{"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};

template <size_t N>
const char* nameAt(const std::array<const char*, N>& names, int index)
{
    return index >= 0 && static_cast<size_t>(index) < N ? names[static_cast<size_t>(index)] : "?";
}

std::string twoDigits(int n)
{
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

/// "GMT", "GMT+2", "GMT-3:30".
std::string offsetName(long seconds)
{
    if (seconds == 0) return "GMT";
    const long minutes = std::labs(seconds) / 60;
    std::string name = std::string("GMT") + (seconds < 0 ? "-" : "+") + std::to_string(minutes / 60);
    if (minutes % 60 != 0) name += ":" + twoDigits(static_cast<int>(minutes % 60));
    return name;
}

std::string zoneName(const LocalTime& t)
{
    // Zones without a customary abbreviation carry their offset ("+03").
    const auto& abbr = t.zoneAbbreviation;
    const bool lettered = !abbr.empty() && std::all_of(abbr.begin(), abbr.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    return lettered ? abbr : offsetName(t.utcOffsetSeconds);
}

} // namespace

std::string fullDateText(const LocalTime& t)
{
    return std::string(nameAt(weekdays, t.weekday)) + ", " + nameAt(months, t.month - 1) + " " + std::to_string(t.day) +
           ", " + std::to_string(t.year);
}

std::string clockTimeText(const LocalTime& t)
{
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    return std::to_string(hour12) + ":" + twoDigits(t.minute) + (t.hour < 12 ? " AM " : " PM ") + zoneName(t);
}

} // namespace twk
