#include "app/shortcut_keys.h"
#include "app/power_shortcut.h"
#include "common/log.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

TEST(ShortcutKeys, ReadsModifiersAndOneKeyInAnyCaseAndOrder)
{
    const auto combo = parseShortcutKeys("space + ALT+super");
    ASSERT_TRUE(combo) << combo.error().description();
    EXPECT_TRUE(combo.value().alt && combo.value().super && !combo.value().control && !combo.value().shift);
    EXPECT_EQ(combo.value().text(), "Super+Alt+Space");
    EXPECT_EQ(parseShortcutKeys("Control+Shift+f12").value().text(), "Ctrl+Shift+F12");
    EXPECT_EQ(parseShortcutKeys("win+k").value().text(), "Super+K");
    EXPECT_EQ(parseShortcutKeys("ctrl+Esc").value().key, "Escape");
}

TEST(ShortcutKeys, BadTextSaysWhatIsWrong)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "has an empty part"},
        {"Super++Space", "has an empty part"},
        {"Super+Hyperspace", "unknown key 'Hyperspace'"},
        {"Ctrl+F25", "unknown key 'F25'"},
        {"Ctrl+A+B", "names two keys: A and B"},
        {"Ctrl+Alt", "names no key"},
        {"Shift+A", "needs Ctrl, Alt or Super"},
    };
    for (const auto& [text, says] : cases) {
        const auto combo = parseShortcutKeys(text);
        ASSERT_FALSE(combo) << text;
        EXPECT_NE(combo.error().description().find(says), std::string::npos) << combo.error().description();
        EXPECT_NE(combo.error().description().find(std::string("'") + text + "'"), std::string::npos);
    }
}

/// Takes whatever it is given unless told to fail with an error code.
struct FakeShortcut : GlobalShortcut {
    std::optional<ShortcutKeys> bound;
    std::function<void()> press;
    int failure = 0;
    void bind(const ShortcutKeys& combination, std::function<void()> onPressed,
              std::function<void(VoidResult)> onBound) override
    {
        if (failure != 0) return onBound(Error("twk.shortcut", failure, combination.text() + " failed"));
        bound = combination;
        press = std::move(onPressed);
        onBound(Unit{});
    }
};

class PowerShortcutTest : public ::testing::Test {
protected:
    test::MemorySettings settings;
    test::VirtualMainLoop loop;
    AppState state{settings, loop};
    FakeShortcut portal;
    FakeShortcut keys;
    std::vector<std::string> log;
    LogCapture capture{[this](const std::string& line) { log.push_back(line); }};
};

TEST_F(PowerShortcutTest, EachPressFlipsTheSwitchAndTheOverrideBeatsTheSetting)
{
    PowerShortcut shortcut{state, settings, {&keys}};
    settings.setString(PowerShortcut::settingsKey, "Ctrl+Alt+T");
    shortcut.start(std::nullopt);
    EXPECT_EQ(keys.bound->key, "T");
    shortcut.start("super+alt+space");
    EXPECT_EQ(keys.bound->key, "Space");
    keys.press();
    EXPECT_TRUE(state.isEnabled());
    keys.press();
    EXPECT_FALSE(state.isEnabled());

    keys.bound.reset();
    shortcut.start("None");
    EXPECT_FALSE(keys.bound);
}

TEST_F(PowerShortcutTest, ProblemsAreLoggedOnceAndPublishedAndOnlyUnavailableWaysFallBack)
{
    PowerShortcut shortcut{state, settings, {&portal, &keys}};
    portal.failure = GlobalShortcut::unavailableCode;
    shortcut.start(std::nullopt);
    ASSERT_TRUE(keys.bound);
    EXPECT_EQ(state.shortcutProblem(), "");

    keys.bound.reset();
    log.clear();
    portal.failure = GlobalShortcut::takenCode;
    shortcut.start(std::nullopt);
    EXPECT_FALSE(keys.bound);
    EXPECT_EQ(state.shortcutProblem(), "Super+Alt+Space failed");
    EXPECT_EQ(log.size(), 1u);

    shortcut.start("Super+Nope");
    EXPECT_NE(state.shortcutProblem().find("unknown key 'Nope'"), std::string::npos) << state.shortcutProblem();
}

} // namespace
} // namespace twk
