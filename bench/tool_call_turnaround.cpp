// Tool-call turnaround of a live `tarnwick session` over loopback: from the
// moment a `set_plan` function call leaves the realtime service to the
// moment its `function_call_output` arrives back. tarnwick-server grants the
// credential; the realtime side is a WebSocket server here, so both ends are
// timed on one clock. Calls go one at a time, a little apart, while the
// microphone streams as usual.
//   build/default/bench/tool_call_turnaround [--calls 500] [--gap-ms 20] [--tarnwick PATH]
// Target: median under 2 ms.

#include "session_rig.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace {

using namespace twk;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = std::stoi(bench::option(argc, argv, "--calls", "500"));
    const int gapMs = std::stoi(bench::option(argc, argv, "--gap-ms", "20"));
    const std::string exe = bench::option(argc, argv, "--tarnwick", TARNWICK_EXE);

    bench::SessionRig rig;
    rig.startServer();
    QWebSocketServer realtime("tool_call_turnaround", QWebSocketServer::NonSecureMode);
    if (!realtime.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "tool_call_turnaround: cannot listen\n");
        return 1;
    }

    std::vector<double> turnaroundsMs;
    QWebSocket* socket = nullptr;
    int sent = 0;
    Clock::time_point sentAt;
    const auto sendNext = [&] {
        ++sent;
        const json call = {{"type", "response.function_call_arguments.done"},
                           {"call_id", "call_" + std::to_string(sent)},
                           {"name", "set_plan"},
                           {"arguments", R"({"steps":["Open Files","Find the report","Mail it"]})"}};
        sentAt = Clock::now();
        socket->sendTextMessage(QString::fromStdString(call.dump()));
        socket->flush();
    };
    QObject::connect(&realtime, &QWebSocketServer::newConnection, [&] {
        socket = realtime.nextPendingConnection();
        QObject::connect(socket, &QWebSocket::textMessageReceived, [&](const QString& text) {
            const auto receivedAt = Clock::now();
            const json message = json::parse(text.toStdString(), nullptr, false);
            if (!message.is_object()) return;
            if (message.value("type", "") == "session.update") {
                QTimer::singleShot(500, sendNext); // past start-up
                return;
            }
            if (message.value("type", "") != "conversation.item.create") return;
            if (message["item"].value("call_id", "") != "call_" + std::to_string(sent)) return;
            turnaroundsMs.push_back(std::chrono::duration<double, std::milli>(receivedAt - sentAt).count());
            if (sent < calls)
                QTimer::singleShot(gapMs, sendNext);
            else
                QCoreApplication::quit();
        });
    });

    rig.startSession(exe, "ws://127.0.0.1:" + std::to_string(realtime.serverPort()));
    QTimer housekeeping;
    QObject::connect(&housekeeping, &QTimer::timeout, [&] {
        rig.drain();
        if (rig.app().waitForExit(std::chrono::milliseconds(0))) QCoreApplication::exit(1);
    });
    housekeeping.start(50);
    QTimer::singleShot(std::chrono::seconds(30) + std::chrono::milliseconds(calls * (gapMs + 50)),
                       [] { QCoreApplication::exit(1); });
    const int outcome = QCoreApplication::exec();
    rig.app().sendSignal(SIGTERM);
    rig.app().waitForExit(std::chrono::seconds(15));
    if (outcome != 0) {
        std::fprintf(stderr, "tool_call_turnaround: %zu of %d calls answered\n%s\n", turnaroundsMs.size(), calls,
                     rig.app().output().c_str());
        return 1;
    }

    double sum = 0;
    for (double ms : turnaroundsMs) sum += ms;
    std::printf("set_plan turnaround over loopback, %zu calls %d ms apart:\n", turnaroundsMs.size(), gapMs);
    std::printf("  median %.3f ms, p95 %.3f ms, p99 %.3f ms, max %.3f ms, mean %.3f ms (target: median < 2 ms)\n",
                bench::percentile(turnaroundsMs, 0.5), bench::percentile(turnaroundsMs, 0.95),
                bench::percentile(turnaroundsMs, 0.99), bench::percentile(turnaroundsMs, 1.0),
                sum / double(turnaroundsMs.size()));
    return 0;
}
