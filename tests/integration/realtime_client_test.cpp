// RealtimeClient over Qt WebSockets against a WebSocket server on loopback
// that the test owns, running on the test's main thread while the client's
// socket lives on its network thread.

#include "common/base64.h"
#include "common/log.h"
#include "integration/qt_spin.h"
#include "platform/linux/qt_websocket.h"
#include "voice/realtime_client.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace twk {
namespace {

using nlohmann::json;
using namespace realtime;
using test::spinUntil;

/// The service's side of the conversation: one peer at a time.
class TestServer {
public:
    TestServer() : server_("twk-test", QWebSocketServer::NonSecureMode)
    {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server_, &QWebSocketServer::newConnection, [this] {
            while (QWebSocket* p = server_.nextPendingConnection()) {
                p->setParent(&server_); // handed over to the caller, who must delete it
                peer = p;
                ++connections;
                requestUrl = p->requestUrl();
                request = p->request();
                QObject::connect(p, &QWebSocket::textMessageReceived,
                                 [this](const QString& m) { received.push_back(json::parse(m.toStdString())); });
                QObject::connect(p, &QWebSocket::disconnected, [this, p] {
                    closeCode = p->closeCode();
                    disconnected = true;
                });
            }
        });
    }

    std::string origin() const { return "ws://127.0.0.1:" + std::to_string(server_.serverPort()); }
    void send(const json& message) { peer->sendTextMessage(QString::fromStdString(message.dump())); }
    void sendBinary(const json& message) { peer->sendBinaryMessage(QByteArray::fromStdString(message.dump())); }
    std::vector<std::string> receivedTypes() const
    {
        std::vector<std::string> types;
        for (const auto& m : received) types.push_back(m.value("type", ""));
        return types;
    }

    QWebSocket* peer = nullptr;
    int connections = 0;
    QUrl requestUrl;
    QNetworkRequest request;
    std::vector<json> received;
    bool disconnected = false;
    QWebSocketProtocol::CloseCode closeCode = QWebSocketProtocol::CloseCodeNormal;

private:
    QWebSocketServer server_;
};

/// What the client delivered, from whichever thread delivered it.
class EventLog {
public:
    void add(RealtimeClient::Event e)
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(e));
        threads_.push_back(std::this_thread::get_id());
    }
    std::vector<RealtimeClient::Event> events() const
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::thread::id> threads() const
    {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    size_t size() const
    {
        std::lock_guard lock(mutex_);
        return events_.size();
    }

private:
    mutable std::mutex mutex_;
    std::vector<RealtimeClient::Event> events_;
    std::vector<std::thread::id> threads_;
};

class RealtimeClientOverQt : public ::testing::Test {
protected:
    std::shared_ptr<RealtimeClient> makeClient(const std::string& origin)
    {
        auto client = RealtimeClient::create(sockets, origin, "Be brief.", json::array({{{"name", "open_app"}}}),
                                             "marin", {"audio"});
        client->onEvent = [this](RealtimeClient::Event e) { log.add(std::move(e)); };
        return client;
    }

    QtWebSocketFactory sockets;
    TestServer server;
    EventLog log;
    std::mutex linesMutex;
    std::vector<std::string> lines;
    LogCapture capture{[this](const std::string& l) {
        std::lock_guard lock(linesMutex);
        lines.push_back(l);
    }};
};

std::string deltaMessage(const char* type, size_t bytes, std::uint8_t fill)
{
    return json{{"type", type}, {"delta", base64Encode(std::vector<std::uint8_t>(bytes, fill))}}.dump();
}

TEST_F(RealtimeClientOverQt, OpensWithOnlyTheBearerHeaderAndDeliversFramesOnTheNetworkThreadUntilTheDrop)
{
    auto client = makeClient(server.origin());
    client->connect("ek_123", "gpt-realtime");
    ASSERT_TRUE(spinUntil([&] { return !server.received.empty(); }));

    EXPECT_EQ(server.requestUrl.path().toStdString(), "/v1/realtime");
    EXPECT_EQ(server.requestUrl.query().toStdString(), "model=gpt-realtime");
    std::set<std::string> headerNames;
    for (const QByteArray& name : server.request.rawHeaderList()) headerNames.insert(name.toLower().toStdString());
    EXPECT_EQ(headerNames, (std::set<std::string>{"host", "upgrade", "connection", "sec-websocket-key",
                                                  "sec-websocket-version", "authorization"}));
    EXPECT_EQ(server.request.rawHeader("Authorization").toStdString(), "Bearer ek_123");
    EXPECT_EQ(server.received.at(0)["type"], "session.update");

    // Text and binary frames alike.
    server.send({{"type", "response.created"}});
    server.peer->sendBinaryMessage(QByteArray::fromStdString(deltaMessage("response.audio.delta", 4800, 2)));
    server.sendBinary({{"type", "response.function_call_arguments.done"},
                       {"call_id", "call_7"},
                       {"name", "open_app"},
                       {"arguments", R"({"name":"Notes"})"}});
    ASSERT_TRUE(spinUntil([&] { return log.size() == 4; }));
    server.peer->abort(); // a drop, no close frame
    ASSERT_TRUE(spinUntil([&] { return log.size() == 5; }));

    const std::vector<Event> expected{State{SessionStatus::listening()},
                                      ResponseStarted{},
                                      AudioDelta{std::vector<std::uint8_t>(4800, 2)},
                                      ToolCall{"call_7", "open_app", R"({"name":"Notes"})"},
                                      State{SessionStatus::error("connection lost"), realtime::ErrorCause::connection}};
    EXPECT_EQ(log.events(), expected);
    const auto threads = log.threads();
    EXPECT_EQ(threads.front(), std::this_thread::get_id()); // connect's own state
    for (size_t i = 1; i < threads.size(); ++i) {
        EXPECT_NE(threads[i], std::this_thread::get_id());
        EXPECT_EQ(threads[i], threads[1]);
    }
}

TEST_F(RealtimeClientOverQt, SendsFromAnotherThreadWhileReceivingArriveWholeAndInOrder)
{
    constexpr int kChunks = 400, kResults = 50, kDeltas = 400;
    auto client = makeClient(server.origin());
    client->connect("ek_123", "gpt-realtime");
    ASSERT_TRUE(spinUntil([&] { return !server.received.empty(); }));

    std::atomic<bool> go{false};
    std::thread capturer([&] {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < kChunks; ++i) {
            std::vector<std::uint8_t> chunk(960, static_cast<std::uint8_t>(i));
            chunk[0] = static_cast<std::uint8_t>(i >> 8);
            client->send(chunk);
        }
    });
    go = true;
    for (int i = 0; i < kDeltas; ++i) {
        server.peer->sendTextMessage(
            QString::fromStdString(deltaMessage("response.output_audio.delta", 960, static_cast<std::uint8_t>(i))));
        if (i % 8 == 0) {
            client->sendToolResult("call_" + std::to_string(i / 8), "{\"ok\":true}", std::nullopt, false);
            QCoreApplication::processEvents();
        }
    }
    capturer.join();
    const size_t expectedMessages = 1 + kChunks + kResults;
    ASSERT_TRUE(spinUntil([&] { return server.received.size() == expectedMessages && log.size() == 1 + kDeltas; }))
        << server.received.size() << " " << log.size();

    int nextChunk = 0, nextResult = 0;
    for (size_t i = 1; i < server.received.size(); ++i) {
        const json& m = server.received[i];
        if (m["type"] == "input_audio_buffer.append") {
            const auto pcm = base64Decode(m["audio"].get<std::string>());
            ASSERT_TRUE(pcm && pcm->size() == 960);
            EXPECT_EQ(((*pcm)[0] << 8) | (*pcm)[1], nextChunk);
            ++nextChunk;
        } else {
            EXPECT_EQ(m["item"]["call_id"], "call_" + std::to_string(nextResult++));
        }
    }
    EXPECT_EQ(nextChunk, kChunks);
    EXPECT_EQ(nextResult, kResults);
    const auto events = log.events();
    for (int i = 0; i < kDeltas; ++i)
        ASSERT_EQ(events[1 + i], Event{AudioDelta{std::vector<std::uint8_t>(960, static_cast<std::uint8_t>(i))}});

    client->close();
    ASSERT_TRUE(spinUntil([&] { return server.disconnected; }));
    EXPECT_EQ(server.closeCode, QWebSocketProtocol::CloseCodeGoingAway);
    std::lock_guard lock(linesMutex);
    for (const auto& l : lines) EXPECT_FALSE(l.starts_with("[realtime] recv error")) << l;
}

TEST_F(RealtimeClientOverQt, AClientDroppedMidStreamGoesAwayCleanly)
{
    auto client = makeClient(server.origin());
    client->connect("ek_123", "gpt-realtime");
    ASSERT_TRUE(spinUntil([&] { return !server.received.empty(); }));
    for (int i = 0; i < 300; ++i)
        server.peer->sendTextMessage(QString::fromStdString(deltaMessage("response.audio.delta", 4800, 0)));
    ASSERT_TRUE(spinUntil([&] { return log.size() > 20; }));
    client.reset();
    ASSERT_TRUE(spinUntil([&] { return server.disconnected; }));
    EXPECT_EQ(server.closeCode, QWebSocketProtocol::CloseCodeGoingAway);
    const size_t seen = log.size();
    spinUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(log.size(), seen);
}

TEST_F(RealtimeClientOverQt, ARefusedConnectionOrAServerCloseIsAConnectionLost)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    auto refused = makeClient("ws://127.0.0.1:" + std::to_string(closedPort));
    refused->connect("ek_123", "gpt-realtime");
    ASSERT_TRUE(spinUntil([&] { return log.size() == 2; }));
    // The refusal comes from the network thread and may be reported before
    // connect() has delivered "listening" on this one.
    const auto events = log.events();
    const Event lost{State{SessionStatus::error("connection lost"), realtime::ErrorCause::connection}};
    EXPECT_EQ(std::count(events.begin(), events.end(), lost), 1);
    {
        // Where and what: not a close by a server that was never reached.
        std::lock_guard lock(linesMutex);
        const std::string where = "[realtime] recv error: could not connect to ws://127.0.0.1:" + std::to_string(closedPort);
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(where); }));
    }
    EXPECT_EQ(std::count(events.begin(), events.end(), Event{State{SessionStatus::listening()}}), 1);

    auto closed = makeClient(server.origin());
    closed->connect("ek_123", "gpt-realtime");
    ASSERT_TRUE(spinUntil([&] { return !server.received.empty(); }));
    server.peer->close(QWebSocketProtocol::CloseCodeBadOperation, "maintenance");
    ASSERT_TRUE(spinUntil([&] { return log.size() == 4; }));
    EXPECT_EQ(log.events().back(), lost);
    std::lock_guard lock(linesMutex);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("[realtime] recv error: "); }),
              2);
    EXPECT_NE(lines.back().find("maintenance"), std::string::npos) << lines.back();
}

} // namespace
} // namespace twk
