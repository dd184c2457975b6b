#include "accessibility/input_synthesis.h"
#include "accessibility/user_characters.h"
#include "common/log.h"

#include <algorithm>

namespace twk {
namespace {

/// Puts the keyboard back however the typing ends, also when the task is
/// dropped midway.
class CharactersGuard {
public:
    explicit CharactersGuard(InputDevice& device) : device_(device) {}
    ~CharactersGuard() { device_.finishCharacters(); }
    CharactersGuard(const CharactersGuard&) = delete;
    CharactersGuard& operator=(const CharactersGuard&) = delete;

private:
    InputDevice& device_;
};

} // namespace

Task<void> InputSynthesis::targetCaughtUp()
{
    const auto ticket = s_.device.askTargetToConfirm();
    if (!ticket) {
        co_await sleepFor(s_.loop, s_.device.keyboardSettleTime());
        co_return;
    }
    // A busy application takes its time; one that never answers gets a limit.
    const auto deadline = s_.loop.now() + confirmLimit;
    while (!s_.device.targetConfirmed(*ticket) && s_.loop.now() < deadline)
        co_await sleepFor(s_.loop, std::chrono::milliseconds(2));
}

Task<Expected<std::string>> InputSynthesis::typeText(std::string text)
{
    if (!s_.device.usable()) co_return Error("twk.input", 4, "no event source");
    if (auto refused = refuseOwnWindow("typing")) co_return *refused;
    const std::vector<std::string> characters = userCharacters(text);
    CharactersGuard guard(s_.device);
    size_t typed = 0;
    size_t next = 0;
    while (next < characters.size()) {
        const std::vector<std::string> upcoming(characters.begin() + static_cast<std::ptrdiff_t>(next), characters.end());
        const CharacterBatch batch = s_.device.prepareCharacters(upcoming);
        if (batch.count == 0) {
            ++next; // a character that cannot be made is skipped, not counted
            continue;
        }
        if (batch.keyboardChanged) co_await sleepFor(s_.loop, s_.device.keyboardSettleTime());
        const size_t end = std::min(characters.size(), next + batch.count);
        // Paced against the clock rather than wait by wait: a timer that
        // fires late (a busy machine) is made up by the next ones, so a
        // text takes 6 ms per character on average, not far more.
        TimePoint due = s_.loop.now();
        for (; next < end; ++next) {
            if (s_.device.postCharacter(characters[next])) ++typed;
            due += typingPace;
            co_await sleepFor(s_.loop, std::max(Duration::zero(), due - s_.loop.now()));
        }
        // The target must read these keys before their keyboard changes again.
        if (batch.keyboardChanged) {
            auto caughtUp = targetCaughtUp();
            co_await std::move(caughtUp);
        }
    }
    logLine("[twk] typed " + std::to_string(typed) + " chars");
    co_return "typed " + std::to_string(typed) + " chars";
}

} // namespace twk
