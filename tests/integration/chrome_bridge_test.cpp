// The browser bridge on real loopback sockets: who may connect, a request
// answered by a real WebSocket peer, and the companion extension running in
// headless Chromium.

#include "bridge/chrome_bridge.h"
#include "common/log.h"
#include "integration/chromium_with_extension.h"
#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"
#include "integration/qt_spin.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/qt_websocket_listener.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <cstdlib>

namespace twk {
namespace {

using test::spinUntil;

std::uint16_t freePort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

class ChromeBridgeOverSockets : public ::testing::Test {
protected:
    /// Result of `request`, driven by the Qt event loop.
    std::optional<Expected<std::string>> ask(const std::string& method, nlohmann::json params, Duration timeout)
    {
        auto slot = std::make_shared<std::optional<Expected<std::string>>>();
        spawn(loop, [](ChromeBridge& b, std::string m, nlohmann::json p, Duration t,
                       std::shared_ptr<std::optional<Expected<std::string>>> out) -> Task<void> {
            out->emplace(co_await b.request(std::move(m), std::move(p), t));
        }(bridge, method, std::move(params), timeout, slot));
        spinUntil([&] { return slot->has_value(); }, std::chrono::duration_cast<std::chrono::milliseconds>(timeout) + std::chrono::seconds(1));
        return *slot;
    }

    /// The status line a handshake with `origin` gets.
    std::string handshakeStatus(const std::optional<std::string>& origin) const
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(socket.waitForConnected(2000));
        std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
        if (origin) request += "Origin: " + *origin + "\r\n";
        socket.write((request + "\r\n").c_str());
        QByteArray reply;
        spinUntil([&] {
            reply += socket.readAll();
            return reply.contains("\r\n");
        });
        return reply.left(reply.indexOf("\r\n")).toStdString();
    }

    std::vector<std::string> logged;
    LogCapture capture{[this](const std::string& line) { logged.push_back(line); }};
    QtMainLoop loop;
    QtWebSocketListener listener;
    std::uint16_t port = freePort();
    ChromeBridge bridge{loop, listener, ExtensionOriginPolicy(), port};
};

TEST_F(ChromeBridgeOverSockets, WebPagesAndOriginlessClientsAreRefusedBeforeTheUpgrade)
{
    bridge.start();
    ASSERT_TRUE(bridge.isListening());
    EXPECT_EQ(handshakeStatus("https://evil.example").substr(0, 12), "HTTP/1.1 403");
    EXPECT_EQ(handshakeStatus(std::nullopt).substr(0, 12), "HTTP/1.1 403");
    EXPECT_FALSE(bridge.isConnected());
    EXPECT_EQ(handshakeStatus("chrome-extension://abcdefghijklmnop").substr(0, 12), "HTTP/1.1 101");
}

TEST_F(ChromeBridgeOverSockets, AnExtensionPeerAnswersARequestAndItsDropFailsTheNext)
{
    bridge.start();
    QWebSocket extension(QStringLiteral("chrome-extension://abcdefghijklmnop"));
    QObject::connect(&extension, &QWebSocket::textMessageReceived, [&](const QString& text) {
        const auto request = nlohmann::json::parse(text.toStdString());
        if (request["method"] == "navigate")
            extension.sendTextMessage(QString::fromStdString(
                nlohmann::json({{"id", request["id"]}, {"result", {{"title", "Flights"}}}}).dump()));
        else
            extension.close();
    });
    extension.open(QUrl(QString("ws://127.0.0.1:%1").arg(port)));
    ASSERT_TRUE(spinUntil([&] { return bridge.isConnected(); }));

    const auto answer = ask("navigate", {{"url", "https://a.example"}}, seconds(5));
    ASSERT_TRUE(answer && answer->ok());
    EXPECT_EQ(answer->value(), R"({"title":"Flights"})");
    const auto dropped = ask("command", {{"task", "close"}}, seconds(5));
    ASSERT_TRUE(dropped && !dropped->ok());
    EXPECT_EQ(dropped->error().code(), -1);
}

using Chromium = test::ChromiumWithExtension;

TEST_F(ChromeBridgeOverSockets, TheExtensionInChromiumConnectsAndOpensPagesWhileAWebPageIsRefused)
{
    bridge.start();
    const std::string page = "<!doctype html><title>Start</title><script>"
                             "const ws = new WebSocket('ws://127.0.0.1:" +
                             std::to_string(port) +
                             "');"
                             "ws.onopen = () => fetch('/report?opened');"
                             "ws.onerror = () => fetch('/report?refused');"
                             "</script>";
    test::LoopbackHttpServer site([&](const test::LoopbackHttpServer::Request& request) {
        if (request.target == "/start.html") return test::LoopbackHttpServer::Response{200, page, "text/html", {}};
        if (request.target == "/target.html")
            return test::LoopbackHttpServer::Response{200, "<!doctype html><title>Target page</title>", "text/html", {}};
        return test::LoopbackHttpServer::Response{204, "", "text/plain", {}};
    });
    Chromium browser(port, site.origin() + "/start.html");

    ASSERT_TRUE(spinUntil([&] { return bridge.isConnected(); }, std::chrono::seconds(30)))
        << "the extension never connected; the browser said:\n" << browser.output();
    ASSERT_TRUE(spinUntil([&] {
        for (const auto& r : site.requests())
            if (r.target.starts_with("/report")) return true;
        return false;
    }, std::chrono::seconds(15)));
    for (const auto& r : site.requests()) EXPECT_NE(r.target, "/report?opened") << "a web page reached the bridge";

    const auto opened = ask("navigate", {{"url", site.origin() + "/target.html"}}, seconds(15));
    ASSERT_TRUE(opened && opened->ok()) << (opened ? opened->error().description() : "no answer");
    const auto result = nlohmann::json::parse(opened->value());
    EXPECT_EQ(result["title"], "Target page");
    EXPECT_EQ(result["url"], site.origin() + "/target.html");
    EXPECT_TRUE(bridge.isConnected());
}


TEST(ChromeBridgeInTheApp, AVoiceToolOpensAPageThroughTheExtensionConnectedToTheRunningApp)
{
    const char* bridgePort = std::getenv("TARNWICK_BRIDGE_PORT"); // the test desktop's own
    ASSERT_NE(bridgePort, nullptr);
    test::LoopbackHttpServer site([](const test::LoopbackHttpServer::Request& request) {
        if (request.target == "/target.html")
            return test::LoopbackHttpServer::Response{200, "<!doctype html><title>Target page</title>", "text/html", {}};
        return test::LoopbackHttpServer::Response{404, "{}", "application/json", {}};
    });
    test::ChildProcess app(TARNWICK_EXE, {}, {{"TARNWICK_BACKEND_URL", site.origin()}});
    ASSERT_TRUE(app.waitForOutput("[twk/chrome] WS server listening", std::chrono::seconds(20))) << app.output();
    Chromium browser(static_cast<std::uint16_t>(std::stoi(bridgePort)), "about:blank");

    // Until the extension has connected the tool says so; then it opens the page.
    const auto result = test::browserToolAnswer("web_navigate", {{"url", site.origin() + "/target.html"}});
    ASSERT_TRUE(result.is_object()) << browser.output();
    EXPECT_EQ(result.value("title", ""), "Target page") << result.dump() << "\nthe browser said:\n" << browser.output();
    EXPECT_TRUE(test::hasLine(app.output(), "[twk] tool web_navigate handed over by tarnwick tool")) << app.output();
}

} // namespace
} // namespace twk
