#include "skills/date_phrase.h"

#include "common/text_case.h"

#include <array>
#include <charconv>
#include <chrono>
#include <string>
#include <vector>

namespace twk {
namespace {

namespace chr = std::chrono;

constexpr std::array<std::string_view, 7> weekdayNames{"sunday",   "monday", "tuesday", "wednesday",
                                                       "thursday", "friday", "saturday"};
constexpr std::array<std::string_view, 12> monthNames{"january", "february", "march",     "april",   "may",      "june",
                                                      "july",    "august",   "september", "october", "november", "december"};
constexpr std::array<std::string_view, 13> numberWords{"zero", "one", "two",   "three", "four",   "five",  "six",
                                                       "seven", "eight", "nine", "ten", "eleven", "twelve"};
/// A day named without a time.
constexpr int defaultHour = 9;

struct Clock {
    int hour = 0;
    int minute = 0;
};

/// What the words said so far.
struct Reading {
    std::optional<chr::year_month_day> day;
    std::optional<Clock> clock;
    /// "tonight": an evening hour unless a time is given.
    bool evening = false;
};

std::vector<std::string> words(std::string_view phrase)
{
    std::vector<std::string> out;
    std::string current;
    for (const char c : lowercased(phrase)) {
        if (c == ' ' || c == ',' || c == '\t' || c == '\n') {
            if (!current.empty()) out.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) out.push_back(std::move(current));
    return out;
}

std::optional<int> number(std::string_view text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

/// "5", "five", "a", "an".
std::optional<int> count(std::string_view text)
{
    if (text == "a" || text == "an") return 1;
    for (size_t i = 0; i < numberWords.size(); ++i)
        if (numberWords[i] == text) return static_cast<int>(i);
    return number(text);
}

template <size_t N>
std::optional<int> indexOf(const std::array<std::string_view, N>& names, std::string_view word, size_t shortest)
{
    for (size_t i = 0; i < N; ++i)
        if (word.size() >= shortest && names[i].substr(0, word.size()) == word) return static_cast<int>(i);
    return std::nullopt;
}

std::optional<int> weekdayOf(std::string_view word) { return indexOf(weekdayNames, word, 3); }
std::optional<int> monthOf(std::string_view word) { return indexOf(monthNames, word, 3); }

/// "24", "24th", "1st".
std::optional<int> dayOfMonth(std::string_view word)
{
    for (const std::string_view suffix : {"st", "nd", "rd", "th"})
        if (word.size() > 2 && word.substr(word.size() - 2) == suffix) word.remove_suffix(2);
    const auto d = number(word);
    if (!d || *d < 1 || *d > 31) return std::nullopt;
    return d;
}

/// "15:00", "3pm", "3:30pm", "12am"; `meridiem` is a following "am"/"pm".
std::optional<Clock> clockOf(std::string_view word, std::string_view meridiem)
{
    std::string_view suffix = meridiem;
    if (word.size() > 2 && (word.ends_with("am") || word.ends_with("pm"))) {
        suffix = word.substr(word.size() - 2);
        word.remove_suffix(2);
    }
    Clock c;
    const auto colon = word.find(':');
    const auto hour = number(word.substr(0, colon));
    if (!hour) return std::nullopt;
    c.hour = *hour;
    if (colon != std::string_view::npos) {
        const auto minute = number(word.substr(colon + 1));
        if (!minute || word.size() - colon != 3 || *minute > 59) return std::nullopt;
        c.minute = *minute;
    }
    if (suffix == "am" || suffix == "pm") {
        if (c.hour < 1 || c.hour > 12) return std::nullopt;
        c.hour = c.hour % 12 + (suffix == "pm" ? 12 : 0);
    } else if (colon == std::string_view::npos) {
        return std::nullopt; // a bare number is only a time after "at"
    }
    if (c.hour > 23) return std::nullopt;
    return c;
}

/// A bare hour after "at": daytime hours, so "at 3" is the afternoon.
std::optional<Clock> bareHour(std::string_view word)
{
    const auto h = number(word);
    if (!h || *h < 1 || *h > 12) return std::nullopt;
    return Clock{*h < 7 ? *h + 12 : *h, 0};
}

std::optional<Clock> namedTime(std::string_view word)
{
    if (word == "noon" || word == "midday") return Clock{12, 0};
    if (word == "midnight") return Clock{0, 0};
    if (word == "morning") return Clock{9, 0};
    if (word == "afternoon") return Clock{15, 0};
    if (word == "evening") return Clock{18, 0};
    if (word == "night") return Clock{20, 0};
    return std::nullopt;
}

/// A date with `year` when given, else the next one to come.
std::optional<chr::year_month_day> calendarDay(int month, int day, std::optional<int> year, chr::year_month_day today)
{
    chr::year_month_day d{chr::year(year.value_or(static_cast<int>(today.year()))), chr::month(static_cast<unsigned>(month)),
                          chr::day(static_cast<unsigned>(day))};
    if (!year && d.ok() && chr::sys_days(d) < chr::sys_days(today)) d += chr::years(1);
    if (!d.ok()) return std::nullopt;
    return d;
}

/// "2026-12-24", "12/24", "12/24/2026".
std::optional<chr::year_month_day> numericDate(std::string_view word, chr::year_month_day today)
{
    std::vector<int> parts;
    const char separator = word.find('-') != std::string_view::npos ? '-' : '/';
    for (size_t start = 0;;) {
        const auto end = word.find(separator, start);
        const auto part = number(word.substr(start, end == std::string_view::npos ? end : end - start));
        if (!part) return std::nullopt;
        parts.push_back(*part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (separator == '-' && parts.size() == 3) return calendarDay(parts[1], parts[2], parts[0], today);
    if (separator == '/' && parts.size() == 2) return calendarDay(parts[0], parts[1], std::nullopt, today);
    if (separator == '/' && parts.size() == 3) return calendarDay(parts[0], parts[1], parts[2], today);
    return std::nullopt;
}

WallClockTime wallClock(chr::sys_time<chr::minutes> t)
{
    const auto day = chr::floor<chr::days>(t);
    const chr::year_month_day ymd{day};
    const chr::hh_mm_ss clock{t - day};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count())};
}

/// "in 2 hours", "in half an hour".
std::optional<chr::minutes> offsetOf(const std::vector<std::string>& w)
{
    if (w.size() == 4 && w[1] == "half" && (w[2] == "a" || w[2] == "an") && (w[3] == "hour"))
        return chr::minutes(30);
    if (w.size() != 3) return std::nullopt;
    const auto n = count(w[1]);
    if (!n || *n < 0 || *n > 100000) return std::nullopt;
    std::string unit = w[2];
    if (unit.size() > 1 && unit.back() == 's') unit.pop_back();
    if (unit == "minute" || unit == "min") return chr::minutes(*n);
    if (unit == "hour" || unit == "hr") return chr::hours(*n);
    if (unit == "day") return chr::days(*n);
    if (unit == "week") return chr::weeks(*n);
    return std::nullopt;
}

} // namespace

std::optional<WallClockTime> readDatePhrase(std::string_view phrase, const LocalTime& now)
{
    const chr::year_month_day today{chr::year(now.year), chr::month(static_cast<unsigned>(now.month)),
                                    chr::day(static_cast<unsigned>(now.day))};
    if (!today.ok()) return std::nullopt;
    const auto nowMinutes = chr::sys_days(today) + chr::hours(now.hour) + chr::minutes(now.minute);
    const auto w = words(phrase);
    if (w.empty()) return std::nullopt;
    if (w.size() == 1 && w[0] == "now") return wallClock(nowMinutes);
    if (w[0] == "in") {
        const auto offset = offsetOf(w);
        if (!offset) return std::nullopt;
        return wallClock(nowMinutes + *offset);
    }

    Reading r;
    const auto setDay = [&r](chr::year_month_day d) {
        if (r.day) return false;
        r.day = d;
        return true;
    };
    const auto setClock = [&r](Clock c) {
        if (r.clock) return false;
        r.clock = c;
        return true;
    };
    const auto inDays = [&today](int n) { return chr::year_month_day{chr::sys_days(today) + chr::days(n)}; };
    const int todayWeekday = static_cast<int>(chr::weekday(chr::sys_days(today)).c_encoding());
    for (size_t i = 0; i < w.size(); ++i) {
        const std::string& word = w[i];
        const std::string next = i + 1 < w.size() ? w[i + 1] : "";
        bool placed = true;
        if (word == "at" || word == "on" || word == "in" || word == "the" || word == "o'clock" || word == "this") {
            if (word == "at" && !next.empty())
                if (const auto c = bareHour(next); c && !clockOf(next, i + 2 < w.size() ? w[i + 2] : "")) {
                    placed = setClock(*c);
                    ++i;
                }
        } else if (word == "today") {
            placed = setDay(today);
        } else if (word == "tonight") {
            placed = setDay(today);
            r.evening = true;
        } else if (word == "tomorrow") {
            placed = setDay(inDays(1));
        } else if (word == "next" && weekdayOf(next)) {
            const int ahead = (*weekdayOf(next) - todayWeekday + 7) % 7;
            placed = setDay(inDays(ahead == 0 ? 7 : ahead));
            ++i;
        } else if (const auto wd = weekdayOf(word)) {
            placed = setDay(inDays((*wd - todayWeekday + 7) % 7));
        } else if (const auto m = monthOf(word); m && dayOfMonth(next)) {
            // "december 24th [2027]"
            std::optional<int> year;
            if (i + 2 < w.size() && w[i + 2].size() == 4 && number(w[i + 2])) year = number(w[i + 2]);
            const auto d = calendarDay(*m + 1, *dayOfMonth(next), year, today);
            placed = d && setDay(*d);
            i += year ? 2 : 1;
        } else if (const auto dm = dayOfMonth(word); dm && monthOf(next)) {
            // "24 december [2027]"
            std::optional<int> year;
            if (i + 2 < w.size() && w[i + 2].size() == 4 && number(w[i + 2])) year = number(w[i + 2]);
            const auto d = calendarDay(*monthOf(next) + 1, *dm, year, today);
            placed = d && setDay(*d);
            i += year ? 2 : 1;
        } else if (const auto named = namedTime(word)) {
            placed = setClock(*named);
        } else if (const auto c = clockOf(word, next)) {
            placed = setClock(*c);
            if (next == "am" || next == "pm") ++i;
        } else if (const auto d = numericDate(word, today)) {
            placed = setDay(*d);
        } else {
            placed = false;
        }
        if (!placed) return std::nullopt;
    }
    if (!r.day && !r.clock) return std::nullopt;
    Clock clock = r.clock.value_or(Clock{r.evening ? 20 : defaultHour, 0});
    if (r.evening && r.clock && clock.hour < 12) clock.hour += 12; // "tonight at 8"
    auto day = r.day.value_or(today);
    auto at = chr::sys_days(day) + chr::hours(clock.hour) + chr::minutes(clock.minute);
    if (!r.day && at <= nowMinutes) at += chr::days(1); // a time alone: its next occurrence
    return wallClock(at);
}

} // namespace twk
