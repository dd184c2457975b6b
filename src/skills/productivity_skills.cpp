#include "skills/date_phrase.h"
#include "skills/phone_contacts.h"
#include "skills/phone_number.h"
#include "skills/skills.h"

namespace twk {
namespace {

constexpr long long defaultEventMinutes = 60;
/// The longest event: a year (leap day included).
constexpr long long longestEventMinutes = 366LL * 24 * 60;

} // namespace

std::string Skills::sendIMessage(const std::string& recipient, const std::string& text)
{
    auto number = dialableNumber(recipient);
    if (!number) {
        // A name: the one contact of the phone's address book it means.
        const auto addressBook = s_.textMessages.contacts();
        if (addressBook.empty())
            return err("text message failed: no phone shared its contacts to find " + recipient +
                       " in — say the number instead");
        const auto named = contactsNamed(addressBook, recipient);
        if (named.empty())
            return err("text message failed: no contact named " + recipient +
                       " among the phone's contacts — say the number instead");
        if (named.size() > 1) {
            std::string names;
            for (const auto& contact : named) names += (names.empty() ? "" : " or ") + contact.name;
            return err("text message failed: " + recipient + " could be " + names + " — say the full name or the number");
        }
        for (const auto& candidate : named.front().numbers)
            if ((number = dialableNumber(candidate))) break;
        if (!number) return err("text message failed: " + named.front().name + " has no phone number");
    }
    if (const auto failure = s_.textMessages.send(*number, text)) return err("text message failed: " + *failure);
    return ok("sent text message to " + recipient);
}

std::string Skills::addReminder(const std::string& text, const std::optional<std::string>& when)
{
    std::optional<WallClockTime> due;
    if (when && !when->empty()) {
        due = readDatePhrase(*when, s_.host.localTime());
        if (!due) return err("reminder failed: could not read the date \"" + *when + "\"");
    }
    if (const auto failure = s_.calendar.addTask(text, due)) return err("reminder failed: " + *failure);
    return ok("added reminder: " + text);
}

std::string Skills::addCalendarEvent(const std::string& title, const std::string& startDate,
                                     std::optional<long long> durationMinutes)
{
    const long long minutes = durationMinutes.value_or(defaultEventMinutes);
    // An event ending before it starts would be kept by the calendar as a
    // broken entry.
    if (minutes < 1 || minutes > longestEventMinutes)
        return err("calendar failed: an event lasts from 1 minute to a year, not " + std::to_string(minutes) +
                   " minutes");
    const auto start = readDatePhrase(startDate, s_.host.localTime());
    if (!start) return err("calendar failed: could not read the date \"" + startDate + "\"");
    if (const auto failure = s_.calendar.addEvent(title, *start, minutes)) return err("calendar failed: " + *failure);
    return ok("added event: " + title);
}

} // namespace twk
