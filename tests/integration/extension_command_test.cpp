// Spoken page tasks end to end: `tarnwick tool web_command` handed to the
// running app, through the bridge to the companion extension in headless
// Chromium, which runs the agent rounds against a scripted agent server on
// loopback and acts in a real page.

#include "integration/chromium_with_extension.h"
#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace twk {
namespace {

using test::LoopbackHttpServer;

const char* const searchPage = "<!doctype html><title>Find</title>"
                               "<form action='/results'><label>Search <input name='q'></label>"
                               "<button>Search</button></form>";

int markOf(const std::string& snapshot, const std::string& line)
{
    std::smatch match;
    if (!std::regex_search(snapshot, match, std::regex(R"(\[(\d+)\] )" + line))) return 0;
    return std::stoi(match[1]);
}

nlohmann::json round(bool done, const std::string& text, nlohmann::json toolUses = nlohmann::json::array())
{
    return {{"sessionId", "s1"}, {"done", done},       {"text", text},
            {"toolUses", std::move(toolUses)}, {"inputTokens", 1}, {"outputTokens", 1}};
}

const char* const orderPage = "<!doctype html><title>Order</title><form action='/order'>"
                              "<label>Name <input name='name'></label>"
                              "<label>Password <input type='password' name='pw' value='secret123'></label>"
                              "<label>Size <select name='size'><option>Small<option>Large</select></label>"
                              "<label><input type='checkbox' name='gift'> Gift wrap</label>"
                              "<textarea name='note' aria-label='Note'></textarea>"
                              "<a href='/help'>Help</a><button disabled>Pay later</button></form>";

nlohmann::json toolUse(const std::string& id, const std::string& name, nlohmann::json input)
{
    return {{"id", id}, {"name", name}, {"input", std::move(input)}};
}

/// The first round of each task the scripted agent knows, planned from the
/// marks of the snapshot it is sent, as a planner would.
nlohmann::json firstRound(const std::string& description)
{
    if (description.starts_with("press the launch button")) // a button the page lacks
        return round(false, "", {toolUse("u1", "click", {{"id", 99}})});
    if (description.starts_with("open the help page at ")) {
        const std::string url = description.substr(22, description.find('\n') - 22);
        return round(false, "",
                     {toolUse("u1", "scroll", {{"direction", "down"}}), toolUse("u2", "navigate", {{"url", url}})});
    }
    if (description.starts_with("fill in the order")) {
        const int name = markOf(description, R"(textfield "Name")");
        const int size = markOf(description, R"(popupbutton "Size")");
        const int gift = markOf(description, R"(checkbox "Gift wrap")");
        const int note = markOf(description, R"(textarea "Note")");
        return round(false, "Filling the order.",
                     {toolUse("u1", "set_value", {{"id", size}, {"text", "large"}}),
                      toolUse("u2", "set_value", {{"id", gift}, {"text", "on"}}),
                      toolUse("u3", "set_value", {{"id", note}, {"text", "ring twice"}}),
                      toolUse("u4", "click", {{"id", name}}), toolUse("u5", "type_text", {{"text", "Ada"}}),
                      toolUse("u6", "press_key", {{"keys", "Return"}})});
    }
    const int field = markOf(description, R"(textfield "Search")");
    const int button = markOf(description, R"(button "Search")");
    if (field == 0 || button == 0) return round(true, "No search box in: " + description);
    return round(false, "Typing the query.",
                 {toolUse("u1", "set_value", {{"id", std::to_string(field)}, {"text", "hello"}}),
                  toolUse("u2", "click", {{"id", button}})});
}

/// Plays the agent: the first round above; then done once every result is
/// good, or the same missing button again; and a verdict on the page shown
/// in the check's fresh snapshot.
nlohmann::json scriptedAgent(const std::string& path, const nlohmann::json& body)
{
    if (path == "/api/agent/start") return firstRound(body.value("description", ""));
    if (body.contains("userMessage")) {
        const std::string prompt = body["userMessage"].value("text", "");
        const auto title = prompt.find("WINDOW: ") + 8;
        return round(true, "Now showing " + prompt.substr(title, prompt.find('\n', title) - title) + ".");
    }
    const auto& results = body["toolResults"];
    if (results.size() == 1 && results[0]["tool_use_id"] == "u1" && results[0]["isError"] == true)
        return round(false, "", {toolUse("u1", "click", {{"id", 99}})});
    for (const auto& result : results)
        if (result["isError"] != false) return round(true, "A step failed: " + result.value("text", ""));
    return round(true, "Finished.");
}

class ExtensionCommand : public ::testing::Test {
protected:
    static nlohmann::json webCommand(const std::string& task, const std::string& url = {})
    {
        nlohmann::json args = {{"task", task}};
        if (!url.empty()) args["url"] = url;
        return test::browserToolAnswer("web_command", args);
    }

    std::vector<nlohmann::json> agentBodies() const
    {
        std::vector<nlohmann::json> bodies;
        for (const auto& request : agent.requests())
            bodies.push_back(nlohmann::json::parse(request.body, nullptr, false));
        return bodies;
    }

    LoopbackHttpServer site{[](const LoopbackHttpServer::Request& request) {
        if (request.target == "/search.html") return LoopbackHttpServer::Response{200, searchPage, "text/html", {}};
        if (request.target == "/order.html") return LoopbackHttpServer::Response{200, orderPage, "text/html", {}};
        if (request.target == "/help.html")
            return LoopbackHttpServer::Response{200, "<!doctype html><title>Help</title>", "text/html", {}};
        if (request.target.starts_with("/results") || request.target.starts_with("/order?"))
            return LoopbackHttpServer::Response{200, "<!doctype html><title>Done</title>", "text/html", {}};
        return LoopbackHttpServer::Response{404, "", "text/plain", {}};
    }};
    LoopbackHttpServer agent{[](const LoopbackHttpServer::Request& request) {
        const auto body = nlohmann::json::parse(request.body, nullptr, false);
        if (request.method != "POST" || !body.is_object())
            return LoopbackHttpServer::Response{400, "{}", "application/json", {}};
        // A slow model, for a task that is still running when another arrives.
        const bool slow = body.value("description", "").starts_with("think slowly");
        return LoopbackHttpServer::Response{200, scriptedAgent(request.target, body).dump(), "application/json",
                                            std::chrono::milliseconds(slow ? 3000 : 0)};
    }};
    test::ChildProcess app{TARNWICK_EXE, {}, {{"TARNWICK_BACKEND_URL", agent.origin()}}};
    std::unique_ptr<test::ChromiumWithExtension> browser;

    void SetUp() override
    {
        const char* bridgePort = std::getenv("TARNWICK_BRIDGE_PORT"); // the test desktop's own
        ASSERT_NE(bridgePort, nullptr);
        ASSERT_TRUE(app.waitForOutput("[twk/chrome] WS server listening", std::chrono::seconds(20))) << app.output();
        browser = std::make_unique<test::ChromiumWithExtension>(static_cast<std::uint16_t>(std::stoi(bridgePort)),
                                                                 site.origin() + "/search.html", agent.origin());
    }
};

TEST_F(ExtensionCommand, ATypedSearchIsSubmittedInThePageAndConfirmedOnTheFreshPage)
{
    const auto answer = webCommand("type hello in the search box and press the search button");
    ASSERT_TRUE(answer.is_object()) << app.output() << "\nthe browser said:\n" << browser->output();
    EXPECT_EQ(answer.value("ok", false), true) << answer.dump();
    EXPECT_EQ(answer.value("message", ""), "Now showing Done.") << answer.dump();

    bool searched = false;
    for (const auto& request : site.requests()) searched = searched || request.target == "/results?q=hello";
    EXPECT_TRUE(searched) << "the page never submitted the query";

    const auto bodies = agentBodies();
    ASSERT_EQ(bodies.size(), 3u); // start, the tool results, the check
    EXPECT_TRUE(std::regex_match(bodies[0].value("userId", ""), std::regex("[0-9a-f-]{36}")));
    EXPECT_EQ(bodies[0]["description"].get<std::string>().rfind("type hello in the search box", 0), 0u);
    const auto tools = bodies[0]["tools"].dump();
    EXPECT_NE(tools.find("\"navigate\""), std::string::npos) << tools;
    EXPECT_EQ(tools.find("take_screenshot"), std::string::npos) << tools;
    const auto& results = bodies[1]["toolResults"];
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0]["tool_use_id"], "u1");
    EXPECT_NE(results[0]["text"].get<std::string>().find(R"(value="hello")"), std::string::npos) << results.dump();
    EXPECT_EQ(results[1]["tool_use_id"], "u2");
    EXPECT_EQ(bodies[1]["sessionId"], "s1");
}

TEST_F(ExtensionCommand, ListsSetsEachKindOfControlTypesAndSubmitsWithEnterWithoutRevealingAPassword)
{
    const auto answer = webCommand("fill in the order: large, gift wrapped, note ring twice, name Ada",
                                   site.origin() + "/order.html");
    ASSERT_TRUE(answer.is_object()) << app.output() << "\nthe browser said:\n" << browser->output();
    EXPECT_EQ(answer.value("ok", false), true) << answer.dump();

    bool ordered = false;
    for (const auto& request : site.requests())
        ordered = ordered || request.target == "/order?name=Ada&pw=secret123&size=Large&gift=on&note=ring+twice";
    EXPECT_TRUE(ordered) << "the page never sent the whole order";

    const std::string snapshot = agentBodies().at(0).value("description", "");
    EXPECT_EQ(snapshot.find("secret123"), std::string::npos) << "a password left the page";
    EXPECT_NE(snapshot.find(R"x(textfield "Password" value="(hidden)")x"), std::string::npos) << snapshot;
    EXPECT_NE(snapshot.find(R"(link "Help")"), std::string::npos) << snapshot;
    EXPECT_NE(snapshot.find(R"(button "Pay later" disabled)"), std::string::npos) << snapshot;
    EXPECT_NE(snapshot.find("WINDOW: Order"), std::string::npos) << snapshot;
}

TEST_F(ExtensionCommand, TheAgentScrollsAndOpensAnotherAddressInTheSameTab)
{
    const auto answer = webCommand("open the help page at " + site.origin() + "/help.html");
    ASSERT_TRUE(answer.is_object()) << app.output() << "\nthe browser said:\n" << browser->output();
    EXPECT_EQ(answer.value("message", ""), "Now showing Help.") << answer.dump();
    const auto results = agentBodies().at(1)["toolResults"];
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0]["text"], "scrolled down 9 lines (the page did not move: already at its edge)");
    EXPECT_EQ(results[1]["text"], "opened " + site.origin() + "/help.html (\"Help\")");
}

TEST_F(ExtensionCommand, ASecondTaskWhileOneRunsIsTurnedAwayAtOnce)
{
    ASSERT_TRUE(webCommand("press the launch button").is_object()); // the extension is connected
    const nlohmann::json args = {{"task", "think slowly, then type hello in the search box"}};
    test::ChildProcess first(TARNWICK_EXE, {"tool", "web_command", args.dump()});
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const auto second = webCommand("type hello in the search box and press the search button");
    EXPECT_EQ(second.value("error", ""), "Another task is still running in the browser; try again when it has finished.")
        << second.dump();
    ASSERT_TRUE(first.waitForExit(std::chrono::seconds(30)).has_value());
    EXPECT_NE(first.output().find(R"("ok":true)"), std::string::npos) << first.output();
}

TEST_F(ExtensionCommand, ATaskThatGetsNowhereEndsWithAnHonestFailure)
{
    const auto answer = webCommand("press the launch button");
    ASSERT_TRUE(answer.is_object()) << app.output() << "\nthe browser said:\n" << browser->output();
    EXPECT_EQ(answer.value("ok", true), false) << answer.dump();
    EXPECT_NE(answer.value("error", "").find("repeating"), std::string::npos) << answer.dump();

    const auto bodies = agentBodies();
    ASSERT_GE(bodies.size(), 2u);
    EXPECT_LE(bodies.size(), 4u) << "the extension kept going";
    EXPECT_NE(bodies[1]["toolResults"][0].value("text", "").find("no mark 99"), std::string::npos);
    for (const auto& body : bodies) EXPECT_FALSE(body.contains("userMessage")) << "a failed task was checked as done";
}

} // namespace
} // namespace twk
