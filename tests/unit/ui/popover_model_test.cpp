#include "ui/popover_model.h"
#include "ui_state_fixture.h"

namespace twk::test {
namespace {

using namespace twk::ui;

TEST(PopoverUsage, MinutesSwitchToOneDecimalBelowTenAndTheBarWarnsWhenLow)
{
    const std::pair<double, std::string> minutes[] = {
        {1200, "20"}, {630, "10"}, {600, "10"}, {599, "10.0"}, {90, "1.5"}, {0, "0.0"}};
    for (const auto& [seconds, text] : minutes) EXPECT_EQ(minutesDisplay(seconds), text) << seconds;

    const auto sixth = usageBar(600, 3600);
    EXPECT_DOUBLE_EQ(sixth.fraction, 1.0 / 6);
    EXPECT_EQ(sixth.fill, UsageBar::Fill::low);
    EXPECT_EQ(usageBar(0, 3600).fill, UsageBar::Fill::empty);
    EXPECT_EQ(usageBar(900, 0).fraction, 0.0); // no quota known yet
    EXPECT_EQ(usageBar(5000, 3600).fraction, 1.0);
    EXPECT_EQ(usageBar(1800, 3600).fill, UsageBar::Fill::plenty);

    std::int64_t formatted = -1;
    const auto monthDay = [&](std::int64_t s) {
        formatted = s;
        return std::string("Jan 1");
    };
    EXPECT_EQ(resetText(0, monthDay), "");
    EXPECT_EQ(formatted, -1);
    EXPECT_EQ(resetText(1'767'225'600'000.0, monthDay), "resets Jan 1");
    EXPECT_EQ(formatted, 1'767'225'600); // milliseconds from the backend
}

TEST(PopoverIdentity, ReadsCheckingAnonymousOrSignedIn)
{
    EXPECT_EQ(identityRow(std::nullopt, std::nullopt).link, IdentityRow::Link::none);
    const auto anonymous = identityRow(false, std::nullopt);
    EXPECT_EQ(anonymous.text, "anonymous · 15 free min / month");
    EXPECT_EQ(anonymous.link, IdentityRow::Link::signIn);
    const auto noEmail = identityRow(true, std::string());
    EXPECT_EQ(noEmail.text, "signed in");
    EXPECT_EQ(noEmail.link, IdentityRow::Link::dashboard);
    EXPECT_EQ(identityRow(true, std::string("a@b.org")).text, "a@b.org");
}

TEST_F(UiStateTest, SectionsAndStatusLineFollowTheState)
{
    EXPECT_TRUE(permissionBlocks(true, true, true).empty());
    EXPECT_EQ(permissionBlocks(false, true, false),
              (std::vector{PermissionBlock::microphone, PermissionBlock::screenRecording}));

    EXPECT_FALSE(popoverSections(state, false).settings);
    EXPECT_FALSE(popoverSections(state, true).micSwitchNote); // nothing to restart while off
    state.isEnabled.set(true);
    EXPECT_TRUE(popoverSections(state, true).micSwitchNote);
    state.verbosity.set(Verbosity::silent);
    EXPECT_FALSE(popoverSections(state, true).voicePickerEnabled);
    EXPECT_FALSE(popoverSections(state, false).transcript);
    state.lastAssistantUtterance.set("Done.");
    EXPECT_TRUE(popoverSections(state, false).transcript);

    EXPECT_EQ(popoverStatusLine(SessionStatus::connecting(), 0, "").tone, Tone::gray);
    const auto failed = popoverStatusLine(SessionStatus::error("mic failed"), 3, "pressed OK");
    EXPECT_EQ(failed.text, "mic failed");
    EXPECT_EQ(failed.tone, Tone::red);
    EXPECT_EQ(failed.agentSuffix, "step 3 · pressed OK");
}

} // namespace
} // namespace twk::test
