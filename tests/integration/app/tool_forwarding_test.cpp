// `tarnwick tool` handing its call to the running application, and that
// application's socket holding up against bad peers.

#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"
#include "platform/linux/single_instance.h"

#include <QLocalSocket>

#include <gtest/gtest.h>

#include <memory>

namespace twk::test {
namespace {

constexpr const char* exe = TARNWICK_EXE;

class ToolForwarding : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_ = std::make_unique<ChildProcess>(exe, std::vector<std::string>{},
                                              std::map<std::string, std::optional<std::string>>{
                                                  {"TARNWICK_BACKEND_URL", backend_.origin()}});
        ASSERT_TRUE(app_->waitForOutput("[twk] MenuBarController constructed")) << app_->output();
        SingleInstance probe;
        ASSERT_EQ(probe.acquire(std::chrono::milliseconds(0)).value(), SingleInstance::Role::secondary);
        socketPath_ = QString::fromStdString(probe.socketPath());
    }

    struct Run {
        std::optional<int> status;
        std::string output;
    };
    static Run tool(const std::vector<std::string>& args)
    {
        std::vector<std::string> all{"tool"};
        all.insert(all.end(), args.begin(), args.end());
        ChildProcess child(exe, all);
        const auto status = child.waitForExit();
        return {status, child.output()};
    }

    std::unique_ptr<QLocalSocket> connectRaw() const
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(socketPath_);
        EXPECT_TRUE(socket->waitForConnected(2000)) << socket->errorString().toStdString();
        return socket;
    }

    /// Sends `bytes` and returns the one line the application answers.
    std::string exchange(const QByteArray& bytes) const
    {
        auto socket = connectRaw();
        socket->write(bytes);
        while (!socket->canReadLine())
            if (!socket->waitForReadyRead(5000)) return "(no answer)";
        return socket->readLine().trimmed().toStdString();
    }

    LoopbackHttpServer backend_{[](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::Response{404, "{}"}; }};
    std::unique_ptr<ChildProcess> app_;
    QString socketPath_;
};

TEST_F(ToolForwarding, TheRunningApplicationRunsTheCallUnlessLocalIsAsked)
{
    const auto plan = tool({"set_plan", R"({"steps":["Open Files","Find the report"]})"});
    EXPECT_EQ(plan.status, 0);
    EXPECT_TRUE(hasLine(plan.output, R"({"ok":true,"message":"plan set: 2 steps"})")) << plan.output;
    EXPECT_TRUE(app_->waitForOutput("[twk] tool set_plan handed over by tarnwick tool")) << app_->output();

    // The cancel flag is the application's: its log says so, not the caller's.
    const auto stop = tool({"stop"});
    EXPECT_EQ(stop.status, 0);
    EXPECT_TRUE(hasLine(stop.output, R"({"ok":true,"message":"stopping"})")) << stop.output;
    EXPECT_FALSE(hasLine(stop.output, "[twk/cancel] cancelled")) << stop.output;
    EXPECT_TRUE(app_->waitForOutput("[twk/cancel] cancelled")) << app_->output();

    const auto unknown = tool({"frobnicate", "not json"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(hasLine(unknown.output, R"({"ok":false,"error":"unknown tool frobnicate"})")) << unknown.output;

    const auto local = tool({"--local", "stop"});
    EXPECT_EQ(local.status, 0);
    EXPECT_TRUE(hasLine(local.output, "[twk/cancel] cancelled")) << local.output;
    EXPECT_EQ(occurrences(app_->output(), "handed over by tarnwick tool"), 3u) << app_->output();
}

TEST_F(ToolForwarding, BadPeersGetAnErrorLineAndChangeNothing)
{
    EXPECT_EQ(exchange("hello\n"), "error unknown request");
    EXPECT_EQ(exchange("open tarnwick://refresh\ntool [1,2]\n"), "error a tool call inside a URL handover");
    EXPECT_EQ(exchange("tool [1,2]\n"), "error the tool request is not a JSON object");
    EXPECT_EQ(exchange(QByteArray(2 * 1024 * 1024, 'x')), "error line longer than 1 MiB");

    // A caller that leaves mid-call: the tool still runs, and writing its answer
    // to nobody harms nothing (checked by the calls below).
    {
        auto socket = connectRaw();
        socket->write("tool {\"name\":\"stop\",\"args\":\"{}\"}\n");
        socket->waitForBytesWritten(2000);
        socket->abort();
    }
    EXPECT_TRUE(app_->waitForOutput("[twk/cancel] cancelled")) << app_->output();

    // More peers than it serves at once: the extra ones are told, and once
    // they go the channel works again.
    std::vector<std::unique_ptr<QLocalSocket>> crowd;
    for (int i = 0; i < 70; ++i) crowd.push_back(connectRaw());
    auto& last = *crowd.back();
    while (!last.canReadLine() && last.waitForReadyRead(5000)) {
    }
    EXPECT_EQ(last.readLine().trimmed().toStdString(), "error too many connections");
    crowd.clear();

    // Nothing of the above was acted on; the application still answers both kinds of request.
    EXPECT_EQ(occurrences(app_->output(), "[twk] handle URL"), 0u) << app_->output();
    const auto plan = tool({"set_plan", R"({"steps":["a"]})"});
    EXPECT_TRUE(hasLine(plan.output, R"({"ok":true,"message":"plan set: 1 steps"})")) << plan.output;
    ChildProcess handover(exe, {"tarnwick://elsewhere"});
    EXPECT_EQ(handover.waitForExit(), 0) << handover.output();
    EXPECT_TRUE(app_->waitForOutput("[twk] handle URL: tarnwick://elsewhere")) << app_->output();
}

} // namespace
} // namespace twk::test
