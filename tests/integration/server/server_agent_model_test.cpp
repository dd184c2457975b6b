// tarnwick-server relaying agent rounds to a language model (the fake
// provider in each API's shape): the requests it builds (key headers, tool
// schemas, each result paired with its tool use, images), the rounds it
// hands back, the tokens it counts, and the model's failures as clear errors.

#include "integration/server/fake_provider.h"
#include "integration/server/raw_http.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace twk {
namespace {

using nlohmann::json;
using test::FakeModelRequest;
using test::FakeProvider;

const std::string modelKey = "sk-agent-test-5d2e9a";
const std::string png = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4nGP4z8DwHwAFAAH/iZk9HQAAAABJRU5ErkJggg==";

class ServerAgentModelTest : public ::testing::Test {
protected:
    std::unique_ptr<test::ServerProcess> startServer(const std::string& provider, const std::string& url)
    {
        return std::make_unique<test::ServerProcess>(
            dir_.path().toStdString() + "/data",
            std::vector<std::string>{"--agent-provider", provider, "--agent-url", url, "--agent-model", "model-under-test"},
            std::vector<std::string>{}, std::map<std::string, std::optional<std::string>>{{"TARNWICK_AGENT_API_KEY", modelKey}});
    }
    static json post(const test::ServerProcess& server, const std::string& path, json body, int expected = 200)
    {
        body["userId"] = test::testUserId;
        const auto r = test::rawRequest(server.port(), test::jsonPost(path, body.dump()));
        EXPECT_EQ(r.status, expected) << r.body;
        return json::parse(r.body, nullptr, false);
    }
    /// Scripted answers, one per request, in order.
    static FakeProvider::Settings scripted(std::vector<json> answers)
    {
        FakeProvider::Settings settings;
        auto next = std::make_shared<size_t>(0);
        settings.onModelRequest = [answers, next](const FakeModelRequest&) {
            return std::pair{200, answers.at(std::min((*next)++, answers.size() - 1))};
        };
        return settings;
    }
    static std::vector<std::string> toolNames(const json& tools, const char* path)
    {
        std::vector<std::string> names;
        for (const auto& t : tools) names.push_back(t.at(json::json_pointer(path)));
        return names;
    }

    QTemporaryDir dir_;
};

TEST_F(ServerAgentModelTest, AnthropicRoundsPairEachResultWithItsToolUseAndCountTokens)
{
    const json firstContent = json::array({{{"type", "text"}, {"text", "Clicking Dark mode."}},
                                           {{"type", "tool_use"}, {"id", "toolu_01A"}, {"name", "click"}, {"input", {{"id", 4}}}},
                                           {{"type", "tool_use"}, {"id", "toolu_01B"}, {"name", "take_screenshot"}, {"input", json::object()}}});
    FakeProvider provider(scripted({{{"content", firstContent}, {"usage", {{"input_tokens", 1200}, {"output_tokens", 80}}}},
                                    {{"content", {{{"type", "text"}, {"text", "Dark mode is on."}}}}, {"usage", {{"input_tokens", 1500}, {"output_tokens", 20}}}},
                                    {{"content", {{{"type", "text"}, {"text", "Yes: the check box is on."}}}}, {"usage", {{"input_tokens", 900}, {"output_tokens", 10}}}}}));
    auto server = startServer("anthropic", provider.baseUrl());

    const json first = post(*server, "/api/agent/start", {{"description", "turn on Dark mode"}, {"screenshot", png},
                                                          {"displayWidth", 1}, {"displayHeight", 1}});
    EXPECT_FALSE(first["done"].get<bool>());
    EXPECT_EQ(first["text"], "Clicking Dark mode.");
    EXPECT_EQ(first["toolUses"], json::parse(R"([{"id":"toolu_01A","name":"click","input":{"id":4}},
                                                 {"id":"toolu_01B","name":"take_screenshot","input":{}}])"));
    EXPECT_EQ(first["inputTokens"], 1200);
    EXPECT_EQ(first["outputTokens"], 80);

    const json second = post(*server, "/api/agent/continue",
                             {{"sessionId", first["sessionId"]},
                              {"toolResults", {{{"tool_use_id", "toolu_01B"}, {"text", "Screenshot"}, {"image", {{"base64", png}, {"mediaType", "image/png"}}}, {"isError", false}},
                                               {{"tool_use_id", "toolu_01A"}, {"text", "no such mark"}, {"isError", true}}}}});
    EXPECT_TRUE(second["done"].get<bool>());
    EXPECT_EQ(second["text"], "Dark mode is on.");
    const json verdict = post(*server, "/api/agent/continue",
                              {{"sessionId", first["sessionId"]}, {"toolResults", json::array()}, {"userMessage", {{"text", "Check it."}}}});
    EXPECT_EQ(verdict["text"], "Yes: the check box is on.");

    const auto requests = provider.observed().modelRequests;
    ASSERT_EQ(requests.size(), 3u);
    const FakeModelRequest& start = requests[0];
    EXPECT_EQ(start.target, "/v1/messages");
    EXPECT_EQ(start.headers.at("x-api-key"), modelKey);
    EXPECT_EQ(start.headers.at("anthropic-version"), "2023-06-01");
    EXPECT_FALSE(start.headers.contains("authorization"));
    EXPECT_EQ(start.body["model"], "model-under-test");
    EXPECT_GT(start.body["max_tokens"].get<int>(), 0);
    EXPECT_FALSE(start.body["system"].get<std::string>().empty());
    EXPECT_EQ(toolNames(start.body["tools"], "/name"),
              (std::vector<std::string>{"read_screen", "take_screenshot", "click", "set_value", "click_at", "scroll", "press_key",
                                        "type_text", "invoke_menu", "mark_step", "set_plan"}));
    for (const auto& tool : start.body["tools"]) EXPECT_EQ(tool["input_schema"]["type"], "object") << tool.dump();
    const json& opening = start.body["messages"][0]["content"];
    EXPECT_EQ(opening[0]["source"], json({{"type", "base64"}, {"media_type", "image/png"}, {"data", png}}));
    EXPECT_EQ(opening[1]["text"].get<std::string>().rfind("turn on Dark mode", 0), 0u);

    const json& messages = requests[1].body["messages"];
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], json({{"role", "assistant"}, {"content", firstContent}}));
    const json& results = messages[2]["content"];
    ASSERT_EQ(results.size(), 2u); // in the order of the tool uses, whatever the client's order
    EXPECT_EQ(results[0]["tool_use_id"], "toolu_01A");
    EXPECT_EQ(results[0]["is_error"], true);
    EXPECT_EQ(results[0]["content"][0]["text"], "no such mark");
    EXPECT_EQ(results[1]["tool_use_id"], "toolu_01B");
    EXPECT_EQ(results[1]["is_error"], false);
    EXPECT_EQ(results[1]["content"][1]["source"]["data"], png);
    EXPECT_EQ(requests[2].body["messages"].back()["content"].back()["text"], "Check it.");

    // Counted for the installation: a report of no seconds answers with the month's counters.
    const json usage = post(*server, "/api/usage/track", {{"seconds", 0}});
    EXPECT_EQ(usage["tokens"]["agentInputTokens"], 3600);
    EXPECT_EQ(usage["tokens"]["agentOutputTokens"], 110);
    EXPECT_EQ(server->process().output().find(modelKey), std::string::npos) << "the key reached the log";
}

TEST_F(ServerAgentModelTest, ChatCompletionsRoundsUseFunctionToolsAndToolMessages)
{
    const json call = {{"id", "call_7"}, {"type", "function"}, {"function", {{"name", "set_value"}, {"arguments", R"({"id":6,"text":"Ada"})"}}}};
    FakeProvider provider(scripted({{{"choices", {{{"message", {{"role", "assistant"}, {"content", nullptr}, {"tool_calls", {call}}}}}}},
                                     {"usage", {{"prompt_tokens", 300}, {"completion_tokens", 12}}}},
                                    {{"choices", {{{"message", {{"role", "assistant"}, {"content", "The name is filled in."}}}}}}}}));
    auto server = startServer("openai", provider.baseUrl());

    const json first = post(*server, "/api/agent/start", {{"description", "type Ada in Name"}, {"tools", {"set_value", "read_screen"}}});
    EXPECT_EQ(first["toolUses"], json::parse(R"([{"id":"call_7","name":"set_value","input":{"id":6,"text":"Ada"}}])"));
    EXPECT_EQ(first["text"], "");
    const json second = post(*server, "/api/agent/continue",
                             {{"sessionId", first["sessionId"]},
                              {"toolResults", {{{"tool_use_id", "call_7"}, {"text", "set"}, {"image", {{"base64", png}, {"mediaType", "image/png"}}}, {"isError", false}}}}});
    EXPECT_TRUE(second["done"].get<bool>());
    EXPECT_EQ(second["text"], "The name is filled in.");

    const auto requests = provider.observed().modelRequests;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "/v1/chat/completions");
    EXPECT_EQ(requests[0].headers.at("authorization"), "Bearer " + modelKey);
    EXPECT_EQ(toolNames(requests[0].body["tools"], "/function/name"), (std::vector<std::string>{"set_value", "read_screen"}));
    EXPECT_EQ(requests[0].body["tools"][0]["type"], "function");
    EXPECT_EQ(requests[0].body["tools"][0]["function"]["parameters"]["type"], "object");
    const json& messages = requests[1].body["messages"];
    ASSERT_EQ(messages.size(), 5u); // system, user, assistant, tool, user with the image
    EXPECT_EQ(messages[0]["role"], "system");
    EXPECT_EQ(messages[2]["tool_calls"][0], call);
    EXPECT_EQ(messages[3]["role"], "tool");
    EXPECT_EQ(messages[3]["tool_call_id"], "call_7");
    EXPECT_EQ(messages[3]["content"].get<std::string>().rfind("set", 0), 0u);
    EXPECT_EQ(messages[4]["content"][1]["image_url"]["url"], "data:image/png;base64," + png);
}

TEST_F(ServerAgentModelTest, TheModelsFailuresBecomeClearErrorsThatNeverCarryTheKey)
{
    FakeProvider::Settings refusing;
    refusing.onModelRequest = [](const FakeModelRequest& r) {
        return std::pair{401, json{{"error", {{"message", "invalid x-api-key " + r.headers.at("x-api-key")}}}}};
    };
    FakeProvider provider(refusing);
    auto server = startServer("anthropic", provider.baseUrl());
    const json refused = post(*server, "/api/agent/start", {{"description", "turn on Dark mode"}}, 502);
    EXPECT_NE(refused["error"].get<std::string>().find("refused this server's API key"), std::string::npos) << refused.dump();
    EXPECT_EQ(refused.dump().find(modelKey), std::string::npos);
    server.reset();

    auto down = startServer("openai", "http://127.0.0.1:" + std::to_string(test::closedPort()));
    const json unreachable = post(*down, "/api/agent/start", {{"description", "turn on Dark mode"}}, 503);
    EXPECT_NE(unreachable["error"].get<std::string>().find("cannot be reached"), std::string::npos) << unreachable.dump();
}

TEST_F(ServerAgentModelTest, WhileARoundWaitsForTheModelTheTaskTakesNoOtherRound)
{
    FakeProvider::Settings slow;
    auto calls = std::make_shared<std::atomic<int>>(0);
    slow.onModelRequest = [calls](const FakeModelRequest&) {
        const json call = {{"id", "call_1"}, {"type", "function"}, {"function", {{"name", "read_screen"}, {"arguments", "{}"}}}};
        if ((*calls)++ == 1) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return std::pair{200, json{{"choices", {{{"message", {{"role", "assistant"}, {"content", "ok"}, {"tool_calls", {call}}}}}}}}};
    };
    FakeProvider provider(slow);
    auto server = startServer("openai", provider.baseUrl());
    const json first = post(*server, "/api/agent/start", {{"description", "read the screen"}});
    const json next = {{"userId", test::testUserId}, {"sessionId", first["sessionId"]},
                       {"toolResults", {{{"tool_use_id", "call_1"}, {"text", "screen"}, {"isError", false}}}}};
    test::RawConnection waiting(server->port());
    ASSERT_TRUE(waiting.write(test::jsonPost("/api/agent/continue", next.dump())));
    ASSERT_TRUE(provider.waitFor([](const FakeProvider::Observed& o) { return o.modelRequests.size() == 2; }));
    const auto refused = test::rawRequest(server->port(), test::jsonPost("/api/agent/continue", next.dump()));
    EXPECT_EQ(refused.status, 409) << refused.body;
    const auto answered = waiting.read();
    EXPECT_EQ(answered.status, 200) << answered.body;
    EXPECT_EQ(provider.observed().modelRequests.size(), 2u);
}

} // namespace
} // namespace twk
