#include "app/app_state.h"
#include "common/cancellation_token.h"
#include "common/log.h"
#include "common/worker_pool.h"
#include "fakes/fake_websocket_listener.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/memory_settings.h"
#include "fakes/recording_input_device.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>

#include <set>

namespace twk {
namespace {

using test::FakeHost;
using test::FakeWorkspace;
using test::MemorySettings;
using test::VirtualMainLoop;

class ToolDispatcherTest : public ::testing::Test {
protected:
    std::string run(const std::string& name, const std::string& args = "{}")
    {
        const ToolResult result = test::runTask(loop, tools.run(name, args));
        EXPECT_EQ(result.kind, ToolResult::Kind::text);
        return result.text;
    }

    std::vector<StepState> stepStates() const
    {
        std::vector<StepState> states;
        for (const auto& step : state.taskSteps()) states.push_back(step.state);
        return states;
    }

    VirtualMainLoop loop;
    MemorySettings settings;
    AppState state{settings, loop};
    CancellationToken cancellation;
    FakeHost host;
    FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    Skills skills{{loop, workspace, mediaKeys, host}};
    WorkerPool workers{1};
    test::FakeWebSocketListener bridgeListener;
    ChromeBridge bridge{loop, bridgeListener, ExtensionOriginPolicy()};
    test::RecordingInputDevice inputDevice{loop};
    test::FakePasteboard pasteboard;
    CaptureGeometry captureGeometry;
    InputSynthesis input{{loop, inputDevice, pasteboard, workspace, skills, captureGeometry}};
    ToolDispatcher tools{{loop, state, cancellation, host, workspace, skills, workers, bridge, &input}};
};

TEST_F(ToolDispatcherTest, NamesWithoutARouteAreRefusedByName)
{
    EXPECT_EQ(run("frobnicate"), R"({"ok":false,"error":"unknown tool frobnicate"})");
    EXPECT_EQ(run("Set_Plan", R"({"steps":["a"]})"), R"({"ok":false,"error":"unknown tool Set_Plan"})");
    EXPECT_TRUE(state.taskSteps().empty());
}

TEST_F(ToolDispatcherTest, EveryOfferedToolHasARouteSaveThoseStillAwaitingOne)
{
    // Offered to the model but still answered "unknown tool". Each name leaves
    // this list when its route lands; once the last has landed it is empty.
    const std::set<std::string> awaitingRoute{
        "do_task"};
    std::set<std::string> offered;
    for (const auto& tool : ToolDispatcher::schema()) {
        const std::string name = tool["name"];
        offered.insert(name);
        if (awaitingRoute.contains(name)) {
            EXPECT_FALSE(tools.hasRoute(name)) << name << " has its route now: take it off the list";
            EXPECT_EQ(run(name), R"({"ok":false,"error":"unknown tool )" + name + "\"}");
        } else {
            EXPECT_TRUE(tools.hasRoute(name)) << name << " is offered to the model but has no route";
        }
    }
    for (const auto& name : awaitingRoute) EXPECT_TRUE(offered.contains(name)) << name << " is not offered at all";
}

TEST_F(ToolDispatcherTest, SetPlanReplacesTheChecklistAndCountsTheSteps)
{
    EXPECT_EQ(run("set_plan", R"({"steps":["Open Slack","Find Orlen's DM","Send the message"]})"),
              R"({"ok":true,"message":"plan set: 3 steps"})");
    ASSERT_EQ(state.taskSteps().size(), 3u);
    EXPECT_EQ(state.taskSteps()[1], (TaskStep{1, "Find Orlen's DM", StepState::pending, ""}));
    EXPECT_EQ(state.currentStepIndex(), 0);

    EXPECT_EQ(run("complete_step"), R"({"ok":true,"message":"step done"})");
    EXPECT_EQ(stepStates(), (std::vector{StepState::done, StepState::doing, StepState::pending}));
    EXPECT_EQ(state.currentStepIndex(), 1);

    // Steps that are not a list of strings make an empty plan, like no steps.
    EXPECT_EQ(run("set_plan", R"({"steps":"Open Slack"})"), R"({"ok":true,"message":"plan set: 0 steps"})");
    EXPECT_TRUE(state.taskSteps().empty());
    run("set_plan", R"({"steps":["a"]})");
    EXPECT_EQ(run("set_plan", "{\"steps\": [\"a\""), R"({"ok":true,"message":"plan set: 0 steps"})");
    EXPECT_TRUE(state.taskSteps().empty());
}

TEST_F(ToolDispatcherTest, StopRaisesTheCancelFlagAndClearsThePlan)
{
    run("set_plan", R"({"steps":["a","b"]})");
    run("complete_step");
    std::vector<std::string> logged;
    LogCapture capture([&logged](const std::string& line) { logged.push_back(line); });

    EXPECT_EQ(run("stop"), R"({"ok":true,"message":"stopping"})");
    EXPECT_TRUE(cancellation.cancelled());
    EXPECT_TRUE(state.taskSteps().empty());
    EXPECT_EQ(state.currentStepIndex(), 0);
    EXPECT_EQ(logged, std::vector<std::string>{"[twk/cancel] cancelled"});
}

TEST_F(ToolDispatcherTest, PlanChangesHappenOnTheMainThreadWhereverTheCallStarts)
{
    WorkerPool pool(1);
    bool changedOnMain = false;
    bool changed = false;
    auto watch = state.taskSteps.subscribe([&](const std::vector<TaskStep>&) {
        changed = true;
        changedOnMain = loop.isMainThread();
    });
    const auto fromWorker = [](WorkerPool& p, const ToolDispatcher& d) -> Task<ToolResult> {
        co_await onWorker(p);
        co_return co_await d.run("set_plan", R"({"steps":["a"]})");
    };
    EXPECT_EQ(test::runTask(loop, fromWorker(pool, tools)).text, R"({"ok":true,"message":"plan set: 1 steps"})");
    EXPECT_TRUE(changed);
    EXPECT_TRUE(changedOnMain);
}

TEST_F(ToolDispatcherTest, ARouteThatFailsStillAnswersWithItsReason)
{
    workspace.failure = "window list unavailable";
    std::vector<std::string> logged;
    LogCapture capture([&logged](const std::string& line) { logged.push_back(line); });
    EXPECT_EQ(run("list_apps"), R"({"ok":false,"error":"window list unavailable"})");
    EXPECT_EQ(logged, std::vector<std::string>{"[twk] tool list_apps failed: window list unavailable"});
}

TEST_F(ToolDispatcherTest, InstructionsUseTheHostAtTheTimeOfAsking)
{
    (void)tools.systemPrompt(Verbosity::silent);
    host.now.minute = 15;
    EXPECT_NE(tools.systemPrompt(Verbosity::silent).find("Current local time: 1:15 PM"), std::string::npos);
}

TEST_F(ToolDispatcherTest, SkillToolsReadTheirArgumentsAndAnswerWithTheSkillsText)
{
    workspace.apps = {{7, "com.slack.Slack", "Slack", true}};
    EXPECT_EQ(run("open_app", R"({"name":"slack"})"), R"({"ok":true,"message":"focused Slack"})");
    EXPECT_EQ(run("quit_app", R"({"name":"Slack"})"), R"({"ok":true,"message":"quit Slack"})");
    EXPECT_EQ(run("play_pause_media"), R"({"ok":true,"message":"toggled play/pause"})");
    EXPECT_EQ(run("next_track"), R"({"ok":true,"message":"next track"})");
    EXPECT_EQ(run("previous_track"), R"({"ok":true,"message":"previous track"})");
    EXPECT_EQ(run("play_on_spotify", R"({"query":42})"), R"({"ok":false,"error":"Spotify: invalid query"})");
    EXPECT_EQ(run("play_on_apple_music", "{}"), R"({"ok":false,"error":"Apple Music: invalid query"})");
    EXPECT_EQ(workspace.activated, std::vector<int>{7});
    EXPECT_EQ(workspace.terminated, std::vector<int>{7});
}

TEST_F(ToolDispatcherTest, WebToolsAskTheBrowserExtensionAndReturnItsAnswerUnchanged)
{
    bridge.start();
    EXPECT_EQ(run("web_command", R"({"task":"find flights"})"),
              R"({"ok":false,"error":"Chrome extension not connected. Open Chrome with tarnwick extension installed and try again."})");
    auto extension = bridgeListener.connect();
    EXPECT_EQ(run("web_command", R"({"task":""})"), R"({"ok":false,"error":"missing task"})");
    EXPECT_EQ(run("web_navigate", R"({"url":42})"), R"({"ok":false,"error":"missing url"})");
    EXPECT_TRUE(extension->sentTexts.empty());

    const auto answerFirst = [&](const std::string& reply) {
        extension->onSent = [&, reply](const nlohmann::json& request) {
            extension->receive(R"({"id":")" + request["id"].get<std::string>() + "\"," + reply + "}");
        };
    };
    answerFirst(R"("result":{"title":"Flights"})");
    EXPECT_EQ(run("web_command", R"({"task":"find flights","url":"https://a.example"})"), R"({"title":"Flights"})");
    EXPECT_EQ(nlohmann::json::parse(extension->sentTexts.back())["params"],
              nlohmann::json({{"task", "find flights"}, {"url", "https://a.example"}}));
    answerFirst(R"("error":"page did not load")");
    EXPECT_EQ(run("web_navigate", R"({"url":"https://b.example"})"), R"({"ok":false,"error":"page did not load"})");
    EXPECT_EQ(nlohmann::json::parse(extension->sentTexts.back())["method"], "navigate");
}

} // namespace
} // namespace twk
