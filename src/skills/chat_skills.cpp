#include "skills/skills.h"

namespace twk {
namespace {

using std::chrono::milliseconds;

/// Polling for the application to come to the front, and when to give up
/// waiting (a slow activation is not a failure: the keys go out anyway).
constexpr milliseconds frontPoll{50};
constexpr milliseconds frontPatience{1500};
/// How long each screen of the chat application takes to settle.
constexpr milliseconds switcherOpens{850};
constexpr milliseconds searchResultsAppear{1400};
constexpr milliseconds conversationOpens{1200};
constexpr milliseconds textLands{500};
constexpr milliseconds messageSends{400};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

} // namespace

Task<std::string> Skills::messageInApp(std::string app, std::string person, std::string text, ChatControls& controls)
{
    co_await onMain(s_.loop);
    const auto target = findRunningApp(app);
    if (!target) co_return err(app + " isn't open — open it first, then try again");
    const int pid = target->pid;
    s_.workspace.activate(pid);
    for (milliseconds waited{0}; s_.workspace.frontmostApplicationPid() != pid && waited < frontPatience;
         waited += frontPoll)
        co_await sleepFor(s_.loop, frontPoll);

    // Each step's task is named first: g++ 12 mishandles temporaries built
    // inside a co_await expression.
    auto openSwitcher = controls.press("cmd+k");
    co_await std::move(openSwitcher);
    co_await sleepFor(s_.loop, switcherOpens);
    auto searchPerson = controls.paste(person);
    co_await std::move(searchPerson);
    co_await sleepFor(s_.loop, searchResultsAppear);
    auto openConversation = controls.press("enter");
    co_await std::move(openConversation);
    co_await sleepFor(s_.loop, conversationOpens);
    auto checkRecipient = controls.windowShows(pid, person);
    const bool verified = co_await std::move(checkRecipient);
    auto typeMessage = controls.paste(text);
    co_await std::move(typeMessage);
    co_await sleepFor(s_.loop, textLands);
    auto send = controls.press("enter");
    co_await std::move(send);
    co_await sleepFor(s_.loop, messageSends);

    if (verified) co_return ok("Sent to " + person + " in " + app + ": " + quoted(text));
    co_return ok("Sent " + quoted(text) + " to the top " + app + " match for " + person + ". I couldn't read " + app +
                 "'s window to 100% confirm the recipient (it's an Electron app) — double-check it landed in the "
                 "right place.");
}

} // namespace twk
