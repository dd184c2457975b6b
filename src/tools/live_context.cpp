#include "tools/live_context.h"

#include "common/utf8.h"
#include "tools/local_time_text.h"

namespace twk {

std::string liveContext(const Host& host)
{
    std::string user = host.fullUserName();
    if (user.empty()) user = host.shortUserName();
    const auto named = host.displayName();
    const std::string machine = named && !named->empty() ? *named : "this computer";
    const LocalTime now = host.localTime();

    // Names from the system may be in any encoding; the prompt travels as JSON.
    return withValidUtf8("LIVE CONTEXT (accurate as of session start \u2014 use directly,\n"
           "do NOT call any tool for these):\n"
           "  \u2022 User: " +
           user + "\n  \u2022 Machine: " + machine + "\n  \u2022 Current date: " + fullDateText(now) +
           "\n  \u2022 Current local time: " + clockTimeText(now) + " (" + host.timeZoneIdentifier() +
           ")\n\n"
           "For any question the answer to which is in this context or\n"
           "in your own general knowledge (time, date, day of week, math,\n"
           "unit conversions, definitions, capital cities, code Qs, the\n"
           "user's name) \u2014 ANSWER DIRECTLY. Don't call tools. Don't open\n"
           "anything. Just speak the answer.");
}

} // namespace twk
