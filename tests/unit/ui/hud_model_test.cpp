#include "ui/hud_model.h"
#include "ui/status_style.h"
#include "ui_state_fixture.h"

namespace twk::test {
namespace {

using namespace twk::ui;

TEST(HudSize, FollowsPowerPlanAndRecentActionsAndSitsInTheTopRightCorner)
{
    EXPECT_EQ(hudSize(false, 4, 5), (Size{280, 72})); // off wins over any plan on screen
    EXPECT_EQ(hudSize(true, 0, 5), (Size{360, 96}));
    EXPECT_EQ(hudSize(true, 2, 0), (Size{560, 240}));
    EXPECT_EQ(hudSize(true, 2, 1), (Size{560, 282}));
    EXPECT_EQ(hudSize(true, 2, 5), (Size{560, 326})); // at most three rows count
    // A screen whose usable area starts below a 30-point panel at x 1920.
    EXPECT_EQ(hudOrigin({1920, 30, 1280, 1024}, {360, 96}), (Point{1920 + 1280 - 360 - 16, 46}));
}

TEST_F(UiStateTest, HeroShowsTheStepUnderWayElseTheIndexedOneKeptInsideThePlan)
{
    plan({"Open Files", "Find the report", "Send it"});
    state.markStep(1, StepState::doing, "searching");
    state.currentStepIndex.set(0);
    Hero hero = hudHero(state);
    EXPECT_EQ(hero.label, "STEP 1 OF 3");
    EXPECT_EQ(hero.stepText, "Find the report");
    EXPECT_EQ(hero.liveAction, "searching");

    for (int i = 0; i < 3; ++i) state.completeCurrentStep();
    state.markStep(2, StepState::done, "");
    hero = hudHero(state);
    EXPECT_EQ(hero.label, "STEP 3 OF 3");
    EXPECT_EQ(hero.stepText, "Send it");
    state.setActivity("Typing the address");
    EXPECT_EQ(hudHero(state).liveAction, "Typing the address");
    state.agentThinking.set(true);
    EXPECT_TRUE(hudHero(state).thinking);
    EXPECT_EQ(hudHero(state).liveAction, "");
}

TEST_F(UiStateTest, SubtitleAndSingleLinePreferTheMostTellingText)
{
    state.status.set(SessionStatus::listening());
    EXPECT_EQ(hudSubtitle(state), "say a command…");
    EXPECT_TRUE(hudSingleLine(state).quiet);

    state.lastUserUtterance.set("open the calculator");
    EXPECT_EQ(hudSubtitle(state), "you · open the calculator");
    state.lastAssistantUtterance.set("Done.");
    EXPECT_EQ(hudSingleLine(state).text, "Done.");
    EXPECT_FALSE(hudSingleLine(state).live);

    state.agentStepCount.set(2);
    state.agentNarrative.set("Looking for the menu");
    EXPECT_EQ(hudSubtitle(state), "Looking for the menu");
    state.setActivity("Pressing OK");
    EXPECT_EQ(hudSingleLine(state).text, "Pressing OK");
    EXPECT_TRUE(hudSingleLine(state).live);

    state.status.set(SessionStatus::error("out of minutes"));
    EXPECT_EQ(hudSubtitle(state), "out of minutes");
    EXPECT_EQ(hudStatusLabel(state.status()), "error");
    EXPECT_EQ(statusTone(state.status()), Tone::red);
}

TEST(HudParts, StreamBrightensTowardsTheNewestAndPillsMarkEachState)
{
    const auto rows = hudActionStream({"a", "b", "c", "d", "e"});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.front().text, "c");
    EXPECT_EQ(rows.back().text, "e");
    EXPECT_LT(rows[0].opacity, rows[1].opacity);
    EXPECT_LT(rows[1].opacity, rows[2].opacity);
    EXPECT_DOUBLE_EQ(rows[2].opacity, 0.6 * 0.9);
    EXPECT_DOUBLE_EQ(hudActionStream({"only"}).at(0).opacity, 0.51);

    const auto pills = hudPills({{0, "a", StepState::done, ""},
                                 {1, "b", StepState::doing, ""},
                                 {2, "c", StepState::failed, ""},
                                 {3, "d", StepState::pending, ""}});
    ASSERT_EQ(pills.size(), 4u);
    EXPECT_EQ(pills[1].number, 2);
    EXPECT_EQ(pills[1].emphasis, PillEmphasis::highlighted);
    EXPECT_EQ(pills[2].emphasis, PillEmphasis::red);
    EXPECT_EQ(pills[3].emphasis, PillEmphasis::dim);

    int count = 1;
    std::string seen;
    for (int i = 0; i < 4; ++i) seen += std::to_string(count = nextDotCount(count));
    EXPECT_EQ(seen, "2312");
}

TEST(TrayGlyph, ConnectingAndErrorStandOutAndAnyErrorLooksTheSame)
{
    EXPECT_EQ(trayGlyph(SessionStatus::connecting()), TrayGlyph::waveformBadge);
    EXPECT_EQ(trayGlyph(SessionStatus::error("a")), trayGlyph(SessionStatus::error("b")));
    EXPECT_NE(trayGlyph(SessionStatus::error("a")), trayGlyph(SessionStatus::off()));
    EXPECT_EQ(trayGlyph(SessionStatus::listening()), trayGlyph(SessionStatus::acting()));
    EXPECT_FALSE(orbBreathes(SessionStatus::error("a")));
    EXPECT_TRUE(orbBreathes(SessionStatus::acting()));
}

} // namespace
} // namespace twk::test
