#include "app/key_combination.h"
#include "app/power_shortcut.h"
#include "common/log.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

TEST(KeyCombination, ReadsModifiersAndOneKeyInAnyCaseAndOrder)
{
    const auto combo = parseKeyCombination("space + ALT+super");
    ASSERT_TRUE(combo) << combo.error().description();
    EXPECT_TRUE(combo.value().alt && combo.value().super);
    EXPECT_FALSE(combo.value().control || combo.value().shift);
    EXPECT_EQ(combo.value().key, "Space");
    EXPECT_EQ(combo.value().text(), "Super+Alt+Space");

    EXPECT_EQ(parseKeyCombination("Control+Shift+f12").value().text(), "Ctrl+Shift+F12");
    EXPECT_EQ(parseKeyCombination("win+k").value().text(), "Super+K");
    EXPECT_EQ(parseKeyCombination("ctrl+Esc").value().key, "Escape");
    EXPECT_EQ(parseKeyCombination("ctrl+7").value().key, "7");
}

TEST(KeyCombination, BadTextSaysWhatIsWrong)
{
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"", "has an empty part"},
        {"Super++Space", "has an empty part"},
        {"Super+Alt+", "has an empty part"},
        {"Super+Hyperspace", "unknown key 'Hyperspace'"},
        {"Ctrl+F25", "unknown key 'F25'"},
        {"Ctrl+F0", "unknown key 'F0'"},
        {"Ctrl+A+B", "names two keys: A and B"},
        {"Ctrl+Alt", "names no key"},
        {"Shift+A", "needs Ctrl, Alt or Super"},
        {"Space", "needs Ctrl, Alt or Super"},
    };
    for (const auto& c : cases) {
        const auto combo = parseKeyCombination(c.text);
        ASSERT_FALSE(combo) << c.text;
        EXPECT_NE(combo.error().description().find(c.says), std::string::npos)
            << c.text << ": " << combo.error().description();
        EXPECT_NE(combo.error().description().find(std::string("'") + c.text + "'"), std::string::npos);
    }
}

/// Takes whatever it is given unless told to fail with an error code.
struct FakeShortcut : GlobalShortcut {
    std::optional<KeyCombination> bound;
    std::function<void()> press;
    int failure = 0;
    void bind(const KeyCombination& combination, std::function<void()> onPressed,
              std::function<void(VoidResult)> onBound) override
    {
        if (failure == takenCode) return onBound(Error("twk.shortcut", failure, combination.text() + " is taken"));
        if (failure != 0) return onBound(Error("twk.shortcut", failure, "no portal"));
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
    FakeShortcut keys;
    PowerShortcut shortcut{state, settings, {&keys}};
    std::vector<std::string> log;
    LogCapture capture{[this](const std::string& line) { log.push_back(line); }};
};

TEST_F(PowerShortcutTest, EachPressFlipsThePowerSwitch)
{
    shortcut.start(std::nullopt);
    ASSERT_TRUE(keys.bound);
    EXPECT_EQ(keys.bound->text(), "Super+Alt+Space");
    keys.press();
    EXPECT_TRUE(state.isEnabled());
    keys.press();
    EXPECT_FALSE(state.isEnabled());
    EXPECT_EQ(state.shortcutProblem(), "");
}

TEST_F(PowerShortcutTest, TheOverrideBeatsTheSettingAndNoneTakesNothing)
{
    settings.setString(PowerShortcut::settingsKey, "Ctrl+Alt+T");
    shortcut.start(std::nullopt);
    EXPECT_EQ(keys.bound->key, "T");
    shortcut.start("ctrl+F9");
    EXPECT_EQ(keys.bound->key, "F9");

    FakeShortcut other;
    PowerShortcut none{state, settings, {&other}};
    none.start("None");
    EXPECT_FALSE(other.bound);
    EXPECT_EQ(state.shortcutProblem(), "");
}

TEST_F(PowerShortcutTest, ATakenOrUnreadableCombinationIsLoggedOnceAndPublished)
{
    keys.failure = GlobalShortcut::takenCode;
    shortcut.start(std::nullopt);
    EXPECT_EQ(state.shortcutProblem(), "Super+Alt+Space is taken");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("Super+Alt+Space is taken"), std::string::npos) << log[0];

    settings.setString(PowerShortcut::settingsKey, "Super+Nope");
    shortcut.start(std::nullopt);
    EXPECT_NE(state.shortcutProblem().find("unknown key 'Nope'"), std::string::npos) << state.shortcutProblem();
}

TEST_F(PowerShortcutTest, AWayThatDoesNotWorkHereHandsOverToTheNextButARefusalIsFinal)
{
    FakeShortcut portal;
    portal.failure = GlobalShortcut::unavailableCode;
    PowerShortcut fallingBack{state, settings, {&portal, &keys}};
    fallingBack.start(std::nullopt);
    ASSERT_TRUE(keys.bound);
    EXPECT_EQ(state.shortcutProblem(), "");

    keys.bound.reset();
    portal.failure = GlobalShortcut::refusedCode;
    fallingBack.start(std::nullopt);
    EXPECT_FALSE(keys.bound);
    EXPECT_EQ(state.shortcutProblem(), "no portal");

    keys.failure = GlobalShortcut::unavailableCode;
    portal.failure = GlobalShortcut::unavailableCode;
    fallingBack.start(std::nullopt);
    EXPECT_EQ(state.shortcutProblem(), "no portal"); // the last way's own reason
}

} // namespace
} // namespace twk
