// `tarnwick tool NAME [ARGS_JSON]`: one tool call through the real program.

#include "integration/process_helpers.h"

#include <gtest/gtest.h>

namespace twk::test {
namespace {

constexpr const char* exe = TARNWICK_EXE;

struct Outcome {
    std::optional<int> status;
    std::string output; // standard output and error, merged
};

Outcome runTool(const std::vector<std::string>& args)
{
    std::vector<std::string> all{"tool"};
    all.insert(all.end(), args.begin(), args.end());
    ChildProcess child(exe, all);
    Outcome outcome;
    outcome.status = child.waitForExit();
    outcome.output = child.output();
    return outcome;
}

TEST(ToolCommand, PlanAndStopRoutesAnswerAsTheModelWouldSeeThem)
{
    const auto plan = runTool({"set_plan", R"({"steps":["Open Files","Find the report"]})"});
    EXPECT_EQ(plan.status, 0);
    EXPECT_TRUE(hasLine(plan.output, R"({"ok":true,"message":"plan set: 2 steps"})")) << plan.output;

    const auto step = runTool({"complete_step"});
    EXPECT_EQ(step.status, 0);
    EXPECT_TRUE(hasLine(step.output, R"({"ok":true,"message":"step done"})")) << step.output;

    const auto stop = runTool({"stop"});
    EXPECT_EQ(stop.status, 0);
    EXPECT_TRUE(hasLine(stop.output, R"({"ok":true,"message":"stopping"})")) << stop.output;
    EXPECT_TRUE(hasLine(stop.output, "[twk/cancel] cancelled")) << stop.output;
}

TEST(ToolCommand, BadArgumentsAndUnknownToolsGetTheDispatchersAnswer)
{
    const auto malformed = runTool({"set_plan", "{\"steps\": [oops"});
    EXPECT_EQ(malformed.status, 0);
    EXPECT_TRUE(hasLine(malformed.output, R"({"ok":true,"message":"plan set: 0 steps"})")) << malformed.output;

    const auto unknown = runTool({"frobnicate", "{}"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(hasLine(unknown.output, R"({"ok":false,"error":"unknown tool frobnicate"})")) << unknown.output;

    const auto apps = runTool({"list_apps"});
    EXPECT_EQ(apps.status, 0);
    EXPECT_TRUE(hasLine(apps.output, R"({"apps":[]})")) << apps.output;
}

TEST(ToolCommand, AMissingToolNameIsAUsageError)
{
    const auto none = runTool({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.output.find("'tool' needs a tool name"), std::string::npos) << none.output;
}

} // namespace
} // namespace twk::test
