#pragma once

#include "agent/agent_executor.h"
#include "fakes/fake_host.h"
#include "fakes/fake_http_client.h"
#include "fakes/fake_media_keys.h"
#include "fakes/memory_settings.h"
#include "fakes/recording_input_device.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "unit/accessibility/accessibility_fixture.h"

#include <deque>
#include <functional>

namespace twk::test {

/// Screenshots of a fixed image, or none.
class FakeScreenCapturer : public ScreenCapturer {
public:
    std::optional<CapturedImage> image;
    int captures = 0;

    std::optional<CapturedImage> captureScreenPNG() override { return ++captures, image; }
    std::optional<CapturedImage> captureWithMarks(const std::vector<MarkedElement>&) override { return image; }
};

/// The Editor window shows a "Dark mode" check box (mark 1) and a "Name"
/// field (mark 2); the backend answers scripted rounds in order.
class AgentFixture : public AccessibilityFixture {
protected:
    AgentFixture()
    {
        dark->actions = std::vector<std::string>{"AXPress"};
        dark->attributes["AXValue"] = 0.0;
        window->add(dark);
        window->add(nameField);
        settings.setString("twk.userId", "u-1");
        http.respond = [this](const HttpRequest&) {
            if (beforeReply) beforeReply();
            if (replies.empty()) return FakeHttpClient::reply(500, "no round scripted");
            auto next = replies.front();
            replies.pop_front();
            return FakeHttpClient::reply(next.first, next.second);
        };
    }

    /// An AgentRound body of session "s1".
    static std::string round(bool done, const std::string& text, nlohmann::json toolUses = nlohmann::json::array())
    {
        return nlohmann::json{{"sessionId", "s1"}, {"done", done},           {"text", text},
                              {"toolUses", toolUses}, {"inputTokens", 10}, {"outputTokens", 5}}
            .dump();
    }
    static nlohmann::json use(const std::string& id, const std::string& name, nlohmann::json input = nlohmann::json::object())
    {
        return {{"id", id}, {"name", name}, {"input", std::move(input)}};
    }
    void script(std::initializer_list<std::string> rounds)
    {
        for (const auto& r : rounds) replies.emplace_back(200, r);
    }
    nlohmann::json body(size_t index) const { return nlohmann::json::parse(*http.requests().at(index).body); }
    std::string path(size_t index) const
    {
        const std::string url = http.requests().at(index).url;
        return url.substr(url.find("/api/"));
    }

    std::string run(const std::string& description) { return runTask(loop, agent.run(description)); }
    AgentToolResult execute(const std::string& tool, const std::string& inputJSON)
    {
        return runTask(loop, agent.execute({"tu", tool, inputJSON}));
    }

    FakeAXNodePtr dark = shown("AXCheckBox", "Dark mode");
    FakeAXNodePtr nameField = shown("AXTextField", "Name");
    VirtualMainLoop loop;
    MemorySettings settings;
    FakeHttpClient http;
    std::deque<std::pair<int, std::string>> replies;
    std::function<void()> beforeReply;
    Backend backend{http, settings, "https://backend.test"};
    AppState state{settings, loop};
    CancellationToken cancellation;
    RecordingInputDevice device{loop};
    FakePasteboard pasteboard;
    FakeMediaKeys mediaKeys;
    FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    CaptureGeometry geometry;
    InputSynthesis input{{loop, device, pasteboard, workspace, skills, geometry}};
    MarkActions marks{service, device};
    FakeScreenCapturer capturer;
    AgentExecutor agent{{loop, state, backend, cancellation, service, marks, input, device, &capturer}};
};

} // namespace twk::test
