// The Qt WebSocket the realtime client runs on, against a peer that never
// answers the handshake.

#include "integration/qt_spin.h"
#include "platform/linux/qt_websocket.h"

#include <QHostAddress>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <mutex>

namespace twk {
namespace {

using test::spinUntil;

TEST(QtWebSocket, AHandshakeThatIsNeverAnsweredTimesOutAndReportsWhatWasNotSent)
{
    QTcpServer silent; // accepts, never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QtWebSocketFactory factory;
    auto socket = factory.makeWebSocket();
    std::mutex mutex;
    std::vector<std::string> failures, sendErrors;
    WebSocketHandlers handlers;
    handlers.onFailure = [&](const std::string& d) {
        std::lock_guard lock(mutex);
        failures.push_back(d);
    };
    handlers.onSendError = [&](const std::string& d) {
        std::lock_guard lock(mutex);
        sendErrors.push_back(d);
    };
    const auto started = std::chrono::steady_clock::now();
    socket->open({"ws://127.0.0.1:" + std::to_string(silent.serverPort()) + "/x", {}, std::chrono::milliseconds(200)},
                 handlers);
    socket->sendText("{\"type\":\"session.update\"}");
    ASSERT_TRUE(spinUntil([&] {
        std::lock_guard lock(mutex);
        return !failures.empty() && !sendErrors.empty();
    }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
    std::lock_guard lock(mutex);
    EXPECT_EQ(failures, std::vector<std::string>{"The request timed out."});
    EXPECT_EQ(sendErrors.size(), 1u);
}

} // namespace
} // namespace twk
