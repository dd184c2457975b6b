// The Qt Network client under the backend, against a loopback server that
// misbehaves on purpose: bodies that are not text, slow or absent servers.

#include "backend/backend.h"
#include "fakes/memory_settings.h"
#include "fakes/run_task.h"
#include "integration/loopback_http_server.h"
#include "platform/linux/qt_http_client.h"

#include <QHostAddress>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace twk {
namespace {

using nlohmann::json;
using test::LoopbackHttpServer;
using test::runTask;

/// A loopback port nobody listens on.
int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class BackendHttpTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    QtHttpClient http;

    void SetUp() override { settings.setString("twk.userId", "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c"); }
};

TEST_F(BackendHttpTest, ErrorBodiesAreShownOnlyWhenTheyAreText)
{
    std::string next;
    LoopbackHttpServer server([&next](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Response{503, next, "text/plain"};
    });
    Backend backend(http, settings, server.origin());
    for (const auto& [body, description] : {std::pair<std::string, std::string>{"maintenance", "mint 503: maintenance"},
                                            {std::string("\xff\xfe\x00z", 4), "mint 503: "}}) {
        next = body;
        try {
            runTask(loop, backend.mintSession());
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e, Error("twk.backend", 503, description));
        }
    }
    // What the request asked for went on the wire as asked.
    const auto sent = server.requests().at(0);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.headers.at("content-type"), "application/json");
    EXPECT_EQ(json::parse(sent.body), json({{"userId", "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c"}}));
}

TEST_F(BackendHttpTest, TrackUsageToAnUnreachableBackendCompletesQuietly)
{
    Backend backend(http, settings, "http://127.0.0.1:" + std::to_string(closedPort()));
    EXPECT_NO_THROW(runTask(loop, backend.trackUsage(12.5)));
    try {
        runTask(loop, backend.fetchStatus());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.domain(), "twk.network"); // the transport failure itself
    }
}

TEST_F(BackendHttpTest, TheClientGivesUpAfterTheRequestTimeout)
{
    LoopbackHttpServer server([](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Response{200, "{}", "application/json", std::chrono::milliseconds(5000)};
    });
    std::optional<Expected<HttpResponse>> outcome;
    const auto start = std::chrono::steady_clock::now();
    http.send({"GET", server.origin() + "/slow", {}, std::nullopt, std::chrono::milliseconds(300)},
              [&](Expected<HttpResponse> r) { loop.post([&outcome, r] { outcome = r; }); });
    ASSERT_TRUE(loop.runUntil([&] { return outcome.has_value(); }, std::chrono::seconds(4)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    ASSERT_FALSE(outcome->ok());
    EXPECT_EQ(outcome->error().domain(), "twk.network");
}

} // namespace
} // namespace twk
