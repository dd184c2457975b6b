// `tarnwick tool do_task` handed to the running application, which acts on
// the Qt fixture window in rounds with a scripted stand-in for the
// backend's agent model.

#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"
#include "integration/server/server_process.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>
#include <regex>

namespace twk::test {
namespace {

using nlohmann::json;

constexpr const char* stuckSentence =
    "I got stuck repeating the same step without progress, so I stopped. Could you guide me or try rephrasing?";

struct MarkLine {
    int id = 0;
    std::string rest; // what the line says after the label
};

/// The snapshot line of the element labelled `label` with a role containing `role`.
std::optional<MarkLine> markLine(const std::string& snapshot, const std::string& role, const std::string& label)
{
    std::smatch match;
    if (!std::regex_search(snapshot, match, std::regex("\\[(\\d+)\\] [a-z ]*" + role + "[a-z ]* \"" + label + "\"([^\\n]*)")))
        return std::nullopt;
    return MarkLine{std::stoi(match[1]), match[2]};
}

std::string round(bool done, const std::string& text, json toolUses = json::array())
{
    return json{{"sessionId", "task-1"}, {"done", done},       {"text", text},
                {"toolUses", toolUses},  {"inputTokens", 0}, {"outputTokens", 0}}
        .dump();
}

json click(const std::string& id, int mark) { return {{"id", id}, {"name", "click"}, {"input", {{"id", mark}}}}; }

class AgentTask : public ::testing::Test {
protected:
    /// What the stand-in model answers: the request's path and body, and
    /// how many agent requests came before it.
    using Model = std::function<LoopbackHttpServer::Response(const std::string& path, const json& body, int index)>;

    void start(Model model)
    {
        model_ = std::move(model);
        fixture_ = std::make_unique<ChildProcess>(QT_WIDGETS_FIXTURE, std::vector<std::string>{});
        ASSERT_TRUE(fixture_->waitForOutput("ready"));
        app_ = std::make_unique<ChildProcess>(TARNWICK_EXE, std::vector<std::string>{},
                                              std::map<std::string, std::optional<std::string>>{
                                                  {"TARNWICK_BACKEND_URL", backend_.origin()}});
        ASSERT_TRUE(app_->waitForOutput("[twk] MenuBarController constructed")) << app_->output();
    }

    static std::string tool(const std::vector<std::string>& args, std::chrono::seconds limit = std::chrono::seconds(60))
    {
        std::vector<std::string> all{"tool"};
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess child(TARNWICK_EXE, all);
        child.waitForExit(limit);
        return child.output();
    }

    std::string doTask(const std::string& description)
    {
        return tool({"do_task", json{{"description", description}}.dump()});
    }

    /// The snapshot text in an agent request: the task text or the check prompt.
    static std::string snapshotIn(const json& body)
    {
        const std::string text = body.contains("userMessage") ? body["userMessage"].value("text", "")
                                                              : body.value("description", "");
        const auto at = text.find("--- CURRENT SCREEN ---");
        return at == std::string::npos ? "" : text.substr(at);
    }

    LoopbackHttpServer backend_{[this](const LoopbackHttpServer::Request& request) {
        const std::string path = request.target;
        if (path.rfind("/api/agent/", 0) != 0) return LoopbackHttpServer::Response{404, "{}"};
        return model_(path, json::parse(request.body, nullptr, false), agentRequests_++);
    }};
    Model model_;
    std::atomic<int> agentRequests_{0};
    std::unique_ptr<ChildProcess> fixture_;
    std::unique_ptr<ChildProcess> app_;
};

TEST_F(AgentTask, TurnsOnACheckBoxAndConfirmsItAgainstAFreshSnapshot)
{
    start([](const std::string& path, const json& body, int index) -> LoopbackHttpServer::Response {
        const std::string screen = snapshotIn(body);
        if (path == "/api/agent/start") {
            const auto box = markLine(screen, "check", "Dark mode");
            if (!box) return {200, round(true, "I cannot see a Dark mode box.")};
            return {200, round(false, "Ticking Dark mode", json::array({click("u1", box->id)}))};
        }
        if (index == 1) {
            const auto results = body["toolResults"];
            const bool clicked = results.size() == 1 && results[0]["isError"] == false;
            return {200, round(true, clicked ? "Dark mode should be on now." : "The click failed.")};
        }
        const auto box = markLine(screen, "check", "Dark mode");
        const std::string rest = box ? box->rest : "";
        const bool on = rest.find("\u2713selected") != std::string::npos || rest.find("value=\"1\"") != std::string::npos;
        return {200, round(true, on ? "Verified: Dark mode is on." : "Dark mode is still off.")};
    });
    const std::string output = doTask("In the fixture, turn on Dark mode");
    EXPECT_TRUE(hasLine(output, "Verified: Dark mode is on.")) << output << app_->output();
    EXPECT_TRUE(fixture_->waitForOutput("checked Dark mode on"));
    EXPECT_EQ(agentRequests_, 3);
    EXPECT_TRUE(app_->waitForOutput("[twk/agent] done in 1 steps: Verified: Dark mode is on.")) << app_->output();
}

TEST_F(AgentTask, AModelThatRepeatsItselfIsStoppedBeforeTheThirdPress)
{
    start([](const std::string&, const json& body, int index) -> LoopbackHttpServer::Response {
        static int save = 0;
        if (index == 0) save = markLine(snapshotIn(body), "button", "Save").value_or(MarkLine{}).id;
        // As slow as a model: Qt ignores a press while the last one still animates.
        return {200, round(false, "Saving", json::array({click("u" + std::to_string(index), save)})), "application/json",
                std::chrono::milliseconds(400)};
    });
    const std::string output = doTask("Save the document");
    EXPECT_TRUE(hasLine(output, stuckSentence)) << output << app_->output();
    EXPECT_TRUE(fixture_->waitForOutput("pressed Save\npressed Save")) << fixture_->output() << app_->output();
    EXPECT_FALSE(fixture_->waitForOutput("pressed Save\npressed Save\npressed Save", std::chrono::milliseconds(500)));
    EXPECT_EQ(agentRequests_, 3) << "the round that would press a third time is not acted on";
}

TEST_F(AgentTask, StopEndsTheTaskAtTheNextRound)
{
    start([](const std::string&, const json& body, int index) -> LoopbackHttpServer::Response {
        static int save = 0;
        if (index == 0) save = markLine(snapshotIn(body), "button", "Save").value_or(MarkLine{}).id;
        // The continue request is held long enough for the user to say stop.
        LoopbackHttpServer::Response answer{200, round(false, "Pressing", json::array({click("u", save)}))};
        if (index == 1) answer.delay = std::chrono::milliseconds(2500);
        if (index == 1) answer.body = round(false, "Other", json::array({click("v", save + 1)}));
        return answer;
    });
    std::string output;
    std::thread task([&] { output = doTask("Save the document"); });
    ASSERT_TRUE(app_->waitForOutput("[twk/agent] starting task")) << app_->output();
    ASSERT_TRUE(fixture_->waitForOutput("pressed Save"));
    const std::string stopped = tool({"stop"});
    task.join();
    EXPECT_TRUE(hasLine(output, "stopped")) << output << app_->output();
    EXPECT_EQ(occurrences(fixture_->output(), "pressed "), 1u) << fixture_->output();
    EXPECT_TRUE(app_->waitForOutput("[twk/agent] cancelled by user"));
}


// Nothing scripted: the real tarnwick-server's local planner decides every round.
TEST(AgentTaskWithTheLocalPlanner, TurnsOnDarkModeAndAdmitsATaskItCannotDo)
{
    ServerProcess server(std::string(std::getenv("HOME")) + "/agent-planner-server");
    ChildProcess fixture(QT_WIDGETS_FIXTURE, {});
    ASSERT_TRUE(fixture.waitForOutput("ready"));
    ChildProcess app(TARNWICK_EXE, {}, {{"TARNWICK_BACKEND_URL", server.origin()}});
    ASSERT_TRUE(app.waitForOutput("[twk] MenuBarController constructed")) << app.output();
    const auto doTask = [](const std::string& description) {
        ChildProcess tool(TARNWICK_EXE, {"tool", "do_task", json{{"description", description}}.dump()});
        tool.waitForExit(std::chrono::seconds(60));
        return tool.output();
    };

    const std::string done = doTask("In the fixture, turn on Dark mode");
    EXPECT_TRUE(fixture.waitForOutput("checked Dark mode on")) << done << app.output();
    EXPECT_NE(done.find("Confirmed"), std::string::npos) << done;

    const std::string refused = doTask("Book me a table for two at eight");
    EXPECT_EQ(refused.find("Confirmed"), std::string::npos) << refused;
    EXPECT_EQ(occurrences(fixture.output(), "pressed "), 0u) << fixture.output();
}

} // namespace
} // namespace twk::test
