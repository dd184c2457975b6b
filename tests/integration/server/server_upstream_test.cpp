// tarnwick-server in front of a hosted realtime service (the fake provider):
// credentials minted there, sessions relayed frame for frame, the provider's
// failures turned into clear answers that never carry the key, a slow peer
// that costs bounded memory, and who may use the key at all.

#include "integration/server/fake_provider.h"
#include "integration/server/raw_http.h"
#include "integration/server/realtime_test_client.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QWebSocket>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace twk {
namespace {

using nlohmann::json;
using test::FakeProvider;
using test::FakeProviderFrame;
using test::FakeProviderSocket;
using test::ServerProcess;

const std::string key = FakeProvider::Settings{}.apiKey;

/// A realtime client that keeps every frame as it came.
struct FrameClient {
    QWebSocket socket;
    std::vector<FakeProviderFrame> frames;
    bool ended = false;

    FrameClient()
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& t) { frames.push_back({false, t.toUtf8()}); });
        QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [this](const QByteArray& d) { frames.push_back({true, d}); });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { ended = true; });
    }
    bool open(const ServerProcess& server, const std::string& secret)
    {
        QNetworkRequest request(QUrl(QString::fromStdString(server.realtimeOrigin() + "/v1/realtime?model=gpt-realtime")));
        request.setRawHeader("Authorization", QByteArray::fromStdString("Bearer " + secret));
        socket.open(request);
        return test::spinUntil([this] { return socket.state() == QAbstractSocket::ConnectedState || ended; }) && !ended;
    }
};

class ServerUpstreamTest : public ::testing::Test {
protected:
    std::unique_ptr<ServerProcess> startServer(const FakeProvider& provider, std::vector<std::string> args = {},
                                               const std::string& apiKey = key)
    {
        args.insert(args.end(), {"--provider-url", provider.baseUrl()});
        // Under AddressSanitizer, freed memory kept in quarantine would count as resident.
        return std::make_unique<ServerProcess>(dir_.path().toStdString() + "/data", args, std::vector<std::string>{},
                                               std::map<std::string, std::optional<std::string>>{
                                                   {"TARNWICK_PROVIDER_API_KEY", apiKey},
                                                   {"ASAN_OPTIONS", "detect_leaks=1:quarantine_size_mb=0"}});
    }
    test::RawResponse mint(const ServerProcess& server, const std::string& userId = test::testUserId)
    {
        return test::rawRequest(server.port(), test::jsonPost("/api/realtime/session", R"({"userId":")" + userId + R"("})"));
    }
    std::string path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }

    QTemporaryDir dir_;
};

TEST_F(ServerUpstreamTest, MintsAtTheProviderAndRelaysFramesAndClosesUnchanged)
{
    FakeProvider::Settings settings;
    const QByteArray audio("\x00\x01\xff\xfe binary \x00", 13);
    settings.onFrame = [audio](FakeProviderSocket& socket, const FakeProviderFrame& frame) {
        const json event = json::parse(frame.data.toStdString(), nullptr, false);
        if (frame.binary || !event.is_object()) return;
        if (event["type"] == "response.create") {
            socket.sendText(R"({"type":"response.output_audio.delta","delta":"AAEC"})");
            socket.sendBinary(audio);
            socket.sendText(R"({"type":"response.function_call_arguments.done","call_id":"c1","name":"open_app","arguments":"{}"})");
        } else if (event["type"] == "response.cancel") {
            socket.close(4002, "provider says goodbye");
        }
    };
    FakeProvider provider(settings);
    auto server = startServer(provider);

    const auto minted = mint(*server);
    ASSERT_EQ(minted.status, 200) << minted.body;
    const json answer = json::parse(minted.body);
    const auto seen = provider.observed();
    ASSERT_EQ(seen.mintBodies.size(), 1u) << (seen.mintRefusals.empty() ? "" : seen.mintRefusals[0]);
    EXPECT_EQ(answer["clientSecret"], seen.issuedSecrets[0]);
    EXPECT_EQ(answer["model"], "gpt-realtime");
    EXPECT_GT(answer["expiresAt"].get<int64_t>(), 1'000'000'000); // Unix seconds, from the provider

    FrameClient client;
    ASSERT_TRUE(client.open(*server, answer["clientSecret"])) << server->process().output();
    const std::string update = R"({"type":"session.update","session":{"type":"realtime"}})";
    client.socket.sendTextMessage(QString::fromStdString(update));
    client.socket.sendBinaryMessage(audio);
    client.socket.sendTextMessage(R"({"type":"response.create"})");
    ASSERT_TRUE(provider.waitFor([](const auto& o) { return o.frames.size() == 3; })) << server->process().output();
    const auto up = provider.observed();
    EXPECT_EQ(up.socketTargets, std::vector<std::string>{"/v1/realtime?model=gpt-realtime"});
    EXPECT_FALSE(up.frames[0].binary);
    EXPECT_EQ(up.frames[0].data.toStdString(), update);
    EXPECT_TRUE(up.frames[1].binary);
    EXPECT_EQ(up.frames[1].data, audio);

    ASSERT_TRUE(test::spinUntil([&] { return client.frames.size() == 3; }));
    EXPECT_FALSE(client.frames[0].binary);
    EXPECT_EQ(client.frames[0].data, R"({"type":"response.output_audio.delta","delta":"AAEC"})");
    EXPECT_TRUE(client.frames[1].binary);
    EXPECT_EQ(client.frames[1].data, audio);

    client.socket.sendTextMessage(R"({"type":"response.cancel"})");
    ASSERT_TRUE(test::spinUntil([&] { return client.ended; }));
    EXPECT_EQ(int(client.socket.closeCode()), 4002);
    EXPECT_EQ(client.socket.closeReason().toStdString(), "provider says goodbye");

    // The server meters the session itself.
    const auto status = test::rawRequest(server->port(), test::getRequest("/api/usage/status?userId=" + test::testUserId));
    EXPECT_GT(json::parse(status.body)["usedSeconds"].get<double>(), 0);

    // A client's close reaches the provider with its code and reason.
    const std::string second = json::parse(mint(*server).body)["clientSecret"];
    FrameClient leaving;
    ASSERT_TRUE(leaving.open(*server, second));
    leaving.socket.close(QWebSocketProtocol::CloseCodeGoingAway, "switched off");
    ASSERT_TRUE(provider.waitFor([](const auto& o) { return o.closeCodes.size() == 2; }));
    EXPECT_EQ(provider.observed().closeCodes[1], 1001);
    EXPECT_EQ(provider.observed().closeReasons[1], "switched off");
    EXPECT_EQ(server->stop(), 0);
}

TEST_F(ServerUpstreamTest, ProviderFailuresBecomeClearErrorsWithoutTheKey)
{
    struct Case {
        const char* name;
        FakeProvider::Settings settings;
        std::string serverKey;
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    FakeProvider::Settings outage;
    outage.mintStatus = 500;
    FakeProvider::Settings slow;
    slow.mintDelay = std::chrono::milliseconds(4000);
    const std::string wrongKey = "sk-wrong-1234567890abcdef";
    std::vector<Case> cases{
        {"refused key", {}, wrongKey, {}, 502, "refused this server's API key"},
        {"outage", outage, key, {}, 503, "unavailable (HTTP 500)"},
        {"slow", slow, key, {"--provider-timeout", "1"}, 503, "did not answer within 1 s"},
    };
    for (auto& c : cases) {
        FakeProvider provider(c.settings);
        auto server = startServer(provider, c.args, c.serverKey);
        const auto answer = mint(*server);
        EXPECT_EQ(answer.status, c.status) << c.name << ": " << answer.body;
        EXPECT_NE(answer.body.find(c.says), std::string::npos) << c.name << ": " << answer.body;
        EXPECT_EQ(answer.body.find(c.serverKey), std::string::npos) << c.name;
        EXPECT_EQ(server->process().output().find(c.serverKey), std::string::npos) << c.name << ": " << server->process().output();
        // The server stays up and its other requests unaffected.
        EXPECT_EQ(test::rawRequest(server->port(), test::getRequest("/api/health")).status, 200) << c.name;
    }

    // A provider that is down.
    FakeProvider::Settings none;
    FakeProvider unused(none);
    auto server = std::make_unique<ServerProcess>(
        path("down"), std::vector<std::string>{"--provider-url", "http://127.0.0.1:" + std::to_string(test::closedPort())},
        std::vector<std::string>{}, std::map<std::string, std::optional<std::string>>{{"TARNWICK_PROVIDER_API_KEY", key}});
    const auto down = mint(*server);
    EXPECT_EQ(down.status, 503) << down.body;
    EXPECT_NE(down.body.find("cannot be reached"), std::string::npos) << down.body;
}

TEST_F(ServerUpstreamTest, TheProviderRefusingTheSocketClosesTheClient)
{
    FakeProvider::Settings settings;
    settings.refuseSockets = true; // its secrets forgotten (a restart, an expiry)
    FakeProvider provider(settings);
    auto server = startServer(provider);
    FrameClient client;
    client.open(*server, json::parse(mint(*server).body)["clientSecret"]); // it may end before the open is seen
    ASSERT_TRUE(test::spinUntil([&] { return client.ended; }));
    EXPECT_EQ(int(client.socket.closeCode()), 1011);
    EXPECT_NE(client.socket.closeReason().toStdString().find("refused"), std::string::npos);
    EXPECT_EQ(provider.observed().socketRefusals.size(), 1u);
}

TEST_F(ServerUpstreamTest, ASlowClientHoldsTheProviderBackWithinBoundedMemory)
{
    constexpr int frames = 1024;
    const QByteArray chunk(64 * 1024, 'a');
    FakeProvider::Settings settings;
    settings.onOpen = [chunk](FakeProviderSocket& socket) {
        for (int i = 0; i < frames; ++i) socket.sendBinary(chunk);
        socket.sendText(R"({"type":"response.done"})");
    };
    FakeProvider provider(settings);
    auto server = startServer(provider);
    const long before = test::residentKiB(server->process().pid());
    const std::string secret = json::parse(mint(*server).body)["clientSecret"];

    FrameClient client;
    ASSERT_TRUE(client.open(*server, secret));
    // The client reads nothing for a while: 64 MiB wait at the provider, not in the server.
    client.socket.blockSignals(true);
    long peak = 0;
    for (int i = 0; i < 30; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peak = std::max(peak, test::residentKiB(server->process().pid()));
    }
    EXPECT_LT(peak - before, 24 * 1024) << "the server buffered what the client did not read";
    client.socket.blockSignals(false);
    size_t bytes = 0;
    ASSERT_TRUE(test::spinUntil([&] {
        bytes = 0;
        for (const auto& f : client.frames) bytes += size_t(f.data.size());
        return !client.frames.empty() && !client.frames.back().binary;
    }, std::chrono::seconds(30))) << bytes;
    EXPECT_EQ(bytes, size_t(frames) * size_t(chunk.size()) + std::string(R"({"type":"response.done"})").size());
}

TEST_F(ServerUpstreamTest, TwentyRelayedSessionsBackToBackLeaveNothingBehind)
{
    FakeProvider::Settings settings;
    settings.onFrame = [](FakeProviderSocket& socket, const FakeProviderFrame& frame) {
        socket.sendText(frame.data.toStdString()); // an echo
    };
    FakeProvider provider(settings);
    auto server = startServer(provider, {"--quota-minutes", "0"});
    const auto openFiles = [&] {
        return std::distance(std::filesystem::directory_iterator("/proc/" + std::to_string(server->process().pid()) + "/fd"),
                             std::filesystem::directory_iterator());
    };
    // One session first: what the server opens once (its network stack) is not a leak.
    long baseline = 0;
    for (int i = 0; i < 21; ++i) {
        char userId[40];
        std::snprintf(userId, sizeof userId, "4f0c2a9e-1b7d-4c11-9a53-%012d", i); // one credential each, within the rate limit
        const auto minted = mint(*server, userId);
        ASSERT_EQ(minted.status, 200) << i << ": " << minted.body;
        FrameClient client;
        ASSERT_TRUE(client.open(*server, json::parse(minted.body)["clientSecret"])) << i;
        client.socket.sendTextMessage(R"({"type":"session.update"})");
        ASSERT_TRUE(test::spinUntil([&] { return !client.frames.empty(); })) << i;
        client.socket.close();
        ASSERT_TRUE(test::spinUntil([&] { return client.ended; })) << i;
        ASSERT_TRUE(provider.waitFor([i](const auto& o) { return int(o.closeCodes.size()) == i + 1; })) << i;
        if (i == 0) {
            test::spinUntil([] { return false; }, std::chrono::milliseconds(300));
            baseline = openFiles();
        }
    }
    test::spinUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_LE(openFiles(), baseline) << "sockets left open";
    EXPECT_EQ(provider.observed().openSockets, 0);
    EXPECT_EQ(server->stop(), 0) << server->process().output(); // under AddressSanitizer, a leak fails the exit
}

TEST_F(ServerUpstreamTest, AProviderKeyIsNeverOpenToAnyoneBeyondLoopback)
{
    FakeProvider provider(FakeProvider::Settings{});
    const std::map<std::string, std::optional<std::string>> env{{"TARNWICK_PROVIDER_API_KEY", key}};
    const std::vector<std::string> open{"--address", "0.0.0.0", "--provider-url", provider.baseUrl(), "--data-dir", path("d")};
    std::vector<std::string> args{"--port", "0", "--config", "/dev/null"};
    args.insert(args.end(), open.begin(), open.end());
    test::ChildProcess refused(TARNWICK_SERVER_EXE, args, env);
    EXPECT_EQ(refused.waitForExit(), 1);
    EXPECT_NE(refused.output().find("no allow-user"), std::string::npos) << refused.output();

    // With an allow-list: those installations only, on every request.
    const std::string allowed = "0b9d3c1e-5a7f-4e2d-8c6b-1f2e3d4c5b6a";
    const std::string wrong = R"({"userId":")" + test::testUserId + R"("})";
    test::ChildProcess listening(TARNWICK_SERVER_EXE, [&] {
        auto a = args;
        a.insert(a.end(), {"--allow-user", allowed});
        return a;
    }(), env);
    ASSERT_TRUE(listening.waitForOutput("listening on http://0.0.0.0:", std::chrono::seconds(20))) << listening.output();
    const std::string out = listening.output();
    const int port = std::stoi(out.substr(out.find("0.0.0.0:") + 8));
    EXPECT_EQ(test::rawRequest(port, test::jsonPost("/api/realtime/session", wrong)).status, 403);
    EXPECT_EQ(test::rawRequest(port, test::getRequest("/api/usage/status?userId=" + test::testUserId)).status, 403);
    EXPECT_EQ(test::rawRequest(port, test::jsonPost("/api/realtime/session", R"({"userId":")" + allowed + R"("})")).status, 200);
    EXPECT_TRUE(provider.observed().mintRefusals.empty());
    EXPECT_EQ(provider.observed().mintBodies.size(), 1u);
}

TEST_F(ServerUpstreamTest, TheKeyComesOnlyFromTheEnvironmentOrAPrivateFile)
{
    FakeProvider provider(FakeProvider::Settings{});
    const std::string file = path("key");
    std::ofstream(file) << key << "\n";
    const auto run = [&](mode_t mode, std::vector<std::string> extra) {
        ::chmod(file.c_str(), mode);
        std::vector<std::string> args{"--port", "0", "--config", "/dev/null", "--data-dir", path("d"), "--provider-url", provider.baseUrl()};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<test::ChildProcess>(TARNWICK_SERVER_EXE, args,
                                                    std::map<std::string, std::optional<std::string>>{{"TARNWICK_PROVIDER_API_KEY", std::nullopt}});
    };
    auto readable = run(0644, {"--provider-key-file", file});
    EXPECT_EQ(readable->waitForExit(), 2);
    EXPECT_NE(readable->output().find("may be read by other users (mode 0644)"), std::string::npos) << readable->output();
    EXPECT_EQ(readable->output().find(key), std::string::npos);

    auto onCommandLine = run(0600, {"--provider-key", key});
    EXPECT_EQ(onCommandLine->waitForExit(), 2);
    EXPECT_NE(onCommandLine->output().find("never read from the command line"), std::string::npos) << onCommandLine->output();
    EXPECT_EQ(onCommandLine->output().find(key), std::string::npos);

    auto fromFile = run(0600, {"--provider-key-file", file});
    ASSERT_TRUE(fromFile->waitForOutput("listening on", std::chrono::seconds(20))) << fromFile->output();
    const std::string out = fromFile->output();
    const int port = std::stoi(out.substr(out.find("listening on http://127.0.0.1:") + 30));
    EXPECT_EQ(test::rawRequest(port, test::jsonPost("/api/realtime/session", R"({"userId":")" + test::testUserId + R"("})")).status, 200);
    EXPECT_EQ(provider.observed().issuedSecrets.size(), 1u);
}

} // namespace
} // namespace twk
