#include "app/app_state.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

using Steps = std::vector<StepState>;

/// Records each call with the activity shown at that moment.
struct RecordingSession : SessionControl {
    const AppState* state = nullptr;
    std::vector<std::string> calls;
    void start() override { calls.push_back("start:" + state->activity()); }
    void stop() override { calls.push_back("stop:" + state->activity()); }
};

class AppStateTest : public ::testing::Test {
protected:
    test::MemorySettings settings;
    test::VirtualMainLoop loop;

    Steps states(const AppState& s)
    {
        Steps out;
        for (const auto& step : s.taskSteps()) out.push_back(step.state);
        return out;
    }
};

TEST_F(AppStateTest, StoredChoicesAreReadAndWrittenOnEveryChange)
{
    settings.setString("twk.verbosity", "chatty");
    settings.setString("twk.voice", "cedar");
    AppState s(settings, loop);
    EXPECT_EQ(s.verbosity(), Verbosity::chatty);
    EXPECT_EQ(s.voice(), "cedar");

    s.verbosity.set(Verbosity::silent);
    s.voice.set("verse");
    EXPECT_EQ(settings.string("twk.verbosity"), "silent");
    EXPECT_EQ(settings.string("twk.voice"), "verse");
}

TEST_F(AppStateTest, AnUnknownStoredVerbosityGivesBrief)
{
    for (const char* raw : {"loud", "Brief", "", " brief"}) {
        settings.setString("twk.verbosity", raw);
        AppState s(settings, loop);
        EXPECT_EQ(s.verbosity(), Verbosity::brief) << raw;
    }
}

TEST_F(AppStateTest, SetEnabledClearsTheDisplayFieldsBeforeDrivingTheSession)
{
    AppState s(settings, loop);
    RecordingSession session;
    session.state = &s;
    s.attachSession(&session);
    s.lastUserUtterance.set("hi");
    s.lastAssistantUtterance.set("hello");
    s.agentNarrative.set("thinking");
    s.agentThinking.set(true);
    s.setActivity("Opening Files");
    s.setPlan({"a", "b"});
    s.completeCurrentStep();
    s.agentStepCount.set(4);
    s.status.set(SessionStatus::listening());

    s.setEnabled(true);
    EXPECT_TRUE(s.isEnabled());
    EXPECT_EQ(s.lastUserUtterance() + s.lastAssistantUtterance() + s.agentNarrative(), "");
    EXPECT_TRUE(s.recentActions().empty());
    EXPECT_TRUE(s.taskSteps().empty());
    EXPECT_FALSE(s.agentThinking());
    EXPECT_EQ(s.currentStepIndex(), 0);
    // Left to the session controller and the agent.
    EXPECT_EQ(s.status(), SessionStatus::listening());
    EXPECT_EQ(s.agentStepCount(), 4);

    s.setActivity("x");
    s.setEnabled(false);
    s.setEnabled(false); // already off: still stops
    EXPECT_EQ(session.calls, (std::vector<std::string>{"start:", "stop:", "stop:"}));
}

TEST_F(AppStateTest, SetActivityTrimsSkipsConsecutiveDuplicatesAndKeepsSix)
{
    AppState s(settings, loop);
    s.setActivity("  Opening Files\n");
    EXPECT_EQ(s.activity(), "Opening Files");
    s.setActivity("Opening Files");
    EXPECT_EQ(s.recentActions(), (std::vector<std::string>{"Opening Files"}));

    s.setActivity(" \t\n");
    EXPECT_EQ(s.activity(), "");
    EXPECT_EQ(s.recentActions().size(), 1u);

    s.setActivity("Typing");
    s.setActivity("Opening Files"); // equal to an older, non-last entry: appended
    EXPECT_EQ(s.recentActions(), (std::vector<std::string>{"Opening Files", "Typing", "Opening Files"}));

    for (int i = 1; i <= 8; ++i) s.setActivity("step " + std::to_string(i));
    EXPECT_EQ(s.recentActions(),
              (std::vector<std::string>{"step 3", "step 4", "step 5", "step 6", "step 7", "step 8"}));
}

TEST_F(AppStateTest, PlanStepsAdvanceAndStopAtTheEnd)
{
    AppState s(settings, loop);
    s.setPlan({"open", "type", "send"});
    ASSERT_EQ(s.taskSteps().size(), 3u);
    EXPECT_EQ(s.taskSteps()[2], (TaskStep{2, "send", StepState::pending, ""}));
    EXPECT_EQ(states(s), (Steps{StepState::pending, StepState::pending, StepState::pending}));

    s.completeCurrentStep();
    EXPECT_EQ(states(s), (Steps{StepState::done, StepState::doing, StepState::pending}));
    EXPECT_EQ(s.currentStepIndex(), 1);
    s.completeCurrentStep();
    s.completeCurrentStep();
    EXPECT_EQ(states(s), (Steps{StepState::done, StepState::done, StepState::done}));
    EXPECT_EQ(s.currentStepIndex(), 3);
    const auto before = s.taskSteps();
    s.completeCurrentStep();
    EXPECT_EQ(s.taskSteps(), before);
    EXPECT_EQ(s.currentStepIndex(), 3);

    s.setPlan({"again"});
    EXPECT_EQ(s.currentStepIndex(), 0);
    EXPECT_EQ(states(s), (Steps{StepState::pending}));
}

} // namespace
} // namespace twk
