// The real `tarnwick session` through tarnwick-server's relay to the fake
// provider, as a user with a provider key would run it: the application's
// built-in realtime origin (the server), audio up, a function call answered
// and audio down, then the provider ending the session and the application
// reconnecting with a fresh credential.

#include "fakes/pcm_signals.h"
#include "integration/process_helpers.h"
#include "integration/server/fake_provider.h"
#include "integration/server/server_process.h"
#include "platform/linux/qt_settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

namespace twk {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using test::FakeProvider;
using test::FakeProviderFrame;
using test::FakeProviderSocket;

std::string base64(const std::string& bytes) { return QByteArray::fromStdString(bytes).toBase64().toStdString(); }

TEST(ServerRelaySession, ARealSessionTalksToTheProviderThroughTheRelay)
{
    if (!std::filesystem::exists(TARNWICK_EXE)) GTEST_SKIP() << "build the tarnwick target first: " << TARNWICK_EXE;
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string reply = test::speechLikePcm(500);

    FakeProvider::Settings settings;
    auto closed = std::make_shared<bool>(false); // the provider's thread only
    settings.onFrame = [reply, closed](FakeProviderSocket& socket, const FakeProviderFrame& frame) {
        const json event = json::parse(frame.data.toStdString(), nullptr, false);
        const std::string type = event.is_object() ? event.value("type", "") : "";
        if (type == "session.update") {
            socket.sendText(json{{"type", "response.created"}}.dump());
            socket.sendText(json{{"type", "response.function_call_arguments.done"}, {"call_id", "call_9"}, {"name", "set_plan"},
                                 {"arguments", R"({"steps":["Open Files","Find the report"]})"}}.dump());
        } else if (type == "conversation.item.create") {
            socket.sendText(json{{"type", "response.done"}}.dump());
        } else if (type == "response.create") {
            socket.sendText(json{{"type", "response.created"}}.dump());
            socket.sendText(json{{"type", "response.output_audio_transcript.done"}, {"transcript", "The plan is ready."}}.dump());
            socket.sendText(json{{"type", "response.output_audio.delta"}, {"delta", base64(reply)}}.dump());
            socket.sendText(json{{"type", "response.output_audio.done"}}.dump());
            socket.sendText(json{{"type", "response.done"}}.dump());
            if (!*closed) socket.close(1011, "provider restarting"); // a provider-side end, mid-session, once
            *closed = true;
        }
    };
    FakeProvider provider(settings);
    test::ServerProcess server(root + "/data", {"--provider-url", provider.baseUrl()}, {},
                               {{"TARNWICK_PROVIDER_API_KEY", FakeProvider::Settings{}.apiKey}});

    const std::string userId = "6a1f3c9d-2b4e-4f70-8c15-3e9a7b2d4f60";
    QtSettings(root + "/config/tarnwick/tarnwick.conf").setString("twk.userId", userId);
    std::ofstream(root + "/mic.wav", std::ios::binary) << test::wavFile(test::speechLikePcm(400) + test::silencePcm(400));
    test::ChildProcess app(TARNWICK_EXE,
                           {"session", "--mic-file", root + "/mic.wav", "--speaker-file", root + "/speaker.wav", "--seconds", "8"},
                           {{"TARNWICK_BACKEND_URL", server.origin()},
                            {"TARNWICK_REALTIME_URL", server.realtimeOrigin()},
                            {"XDG_CONFIG_HOME", root + "/config"}});
    ASSERT_TRUE(app.waitForOutput("assistant: The plan is ready.\n", 20s)) << app.output() << server.process().output();
    // The provider's close makes the application reconnect with a new credential, through the relay again.
    ASSERT_TRUE(provider.waitFor([](const auto& o) { return o.issuedSecrets.size() == 2 && o.openSockets == 1; }, 20s))
        << app.output() << server.process().output();
    ASSERT_EQ(app.waitForExit(20s), 0) << app.output();

    const auto seen = provider.observed();
    EXPECT_EQ(seen.closeCodes.at(0), 1011);
    size_t appended = 0;
    bool answered = false;
    for (const auto& frame : seen.frames) {
        const json event = json::parse(frame.data.toStdString(), nullptr, false);
        if (event.value("type", "") == "input_audio_buffer.append")
            appended += QByteArray::fromBase64(QByteArray::fromStdString(event.value("audio", ""))).size();
        if (event.value("type", "") == "conversation.item.create" && event["item"].value("call_id", "") == "call_9") {
            const json output = json::parse(event["item"].value("output", ""), nullptr, false);
            answered = output.value("ok", false);
        }
    }
    // The microphone is muted while the assistant answers, so not all of it goes up.
    EXPECT_GT(appended, 0u) << "the microphone's audio reached the provider";
    EXPECT_TRUE(answered) << "the function call's result reached the provider";
    EXPECT_GE(std::filesystem::file_size(root + "/speaker.wav"), 44 + reply.size()) << "the provider's audio was played";

    // The server metered the sessions itself.
    EXPECT_NE(server.process().output().find("credential for 6a1f3c9d from the provider"), std::string::npos);
}

} // namespace
} // namespace twk
