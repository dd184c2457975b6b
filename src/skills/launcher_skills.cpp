#include "accessibility/input_synthesis.h"
#include "skills/skills.h"

namespace twk {
namespace {

/// The launcher's search field takes a moment to appear after its shortcut.
constexpr Duration launcherAppearTime = std::chrono::milliseconds(250);

} // namespace

Task<std::string> Skills::spotlight(std::string query, InputSynthesis* input)
{
    const std::string reply = "opened the launcher search for: " + query;
    if (s_.launcher.searchDirectly(query)) co_return ok(reply);
    // Saying it was done when nothing opened would have the model tell the
    // user to look at a search that is not there.
    const auto shortcut = s_.launcher.searchShortcut();
    if (!shortcut || input == nullptr)
        co_return err("launcher search failed: this desktop's launcher has no shortcut Tarnwick can press");
    co_await onMain(s_.loop); // input is synthesised from the main loop
    auto pressing = input->pressKey(*shortcut, std::nullopt);
    const auto pressed = co_await std::move(pressing);
    if (!pressed) co_return err("launcher search failed: " + pressed.error().description());
    co_await sleepFor(s_.loop, launcherAppearTime);
    auto typing = input->typeText(query);
    const auto typed = co_await std::move(typing);
    if (!typed) co_return err("launcher search failed: " + typed.error().description());
    co_return ok(reply);
}

} // namespace twk
