#include "composition/commands.h"
#include "composition/core.h"
#include "composition/voice.h"
#include "platform/linux/local_server.h"
#include "platform/linux/quit_signals.h"

#include <QCoreApplication>

#include <algorithm>
#include <iostream>

namespace twk {
namespace {

constexpr auto usageReportWait = std::chrono::seconds(5);

std::string describe(const SessionStatus& status)
{
    switch (status.kind) {
    case SessionStatus::Kind::off: return "off";
    case SessionStatus::Kind::connecting: return "connecting";
    case SessionStatus::Kind::listening: return "listening";
    case SessionStatus::Kind::acting: return "acting";
    case SessionStatus::Kind::error: return "error: " + status.message;
    }
    return "?";
}

std::string describeRemaining(const AppState& state)
{
    const auto left = static_cast<long long>(std::max(state.remainingSeconds(), 0.0));
    return std::to_string(left / 60) + "m " + std::to_string(left % 60) + "s left this month (" + state.plan() + " plan)";
}

/// Shows the conversation on standard output, one line per change.
std::vector<Subscription> printConversation(AppState& state)
{
    const auto print = [](const std::string& line) { std::cout << line << std::endl; };
    std::vector<Subscription> subs;
    subs.push_back(state.status.subscribe([print](const SessionStatus& s) { print("status: " + describe(s)); }));
    subs.push_back(state.lastUserUtterance.subscribe([print](const std::string& t) {
        if (!t.empty()) print("you: " + t);
    }));
    subs.push_back(state.lastAssistantUtterance.subscribe([print](const std::string& t) {
        if (!t.empty()) print("assistant: " + t);
    }));
    subs.push_back(state.activity.subscribe([print](const std::string& t) {
        if (!t.empty()) print("activity: " + t);
    }));
    return subs;
}

} // namespace

/// A voice session without the tray: switched on at start, off on SIGINT,
/// SIGTERM or after --seconds. It ends only once its usage report is out and
/// the figures are refreshed (then shown as "usage: ..."), or after a few
/// seconds without an answer, and with status 1 when the session itself ended
/// on an error.
int runSession(int argc, char** argv, const Command& cmd)
{
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());
    QCoreApplication qtApp(argc, argv);
    if (const auto problem = ensureLocalServer(config.value())) return fail(*problem);
    Core core(config.value());
    Voice voice(core, config.value(), cmd.micFile, cmd.speakerFile);
    AppState& state = core.state;
    const auto printing = printConversation(state);

    bool finishing = false;
    const auto finish = [&](int code) {
        if (finishing) return;
        finishing = true;
        if (state.isEnabled()) state.setEnabled(false);
        // The report ends with a refresh of the figures, which are then shown.
        const bool reporting = voice.session->pendingUsageReports() > 0;
        const auto deadline = core.loop.now() + usageReportWait;
        auto poll = std::make_shared<TimerHandle>();
        const auto check = [&core, &voice, &state, reporting, deadline, code, poll] {
            if (voice.session->pendingUsageReports() > 0 && core.loop.now() < deadline) return;
            poll->invalidate();
            if (reporting) std::cout << "usage: " << describeRemaining(state) << std::endl;
            QCoreApplication::exit(code);
        };
        *poll = core.loop.every(std::chrono::milliseconds(20), check);
    };
    // A session that ends by itself (quota, lost connection, server error) ends the command.
    const auto endedAlone = state.isEnabled.subscribe([&](const bool& on) {
        if (on || finishing) return;
        core.loop.post([&] {
            std::cerr << "tarnwick: the session ended: " << describe(state.status()) << "\n";
            finish(1);
        });
    });
    QuitSignals quitSignals("[twk]", [&] { finish(0); });
    if (cmd.seconds > 0) core.loop.after(seconds(cmd.seconds), [&] { finish(0); });

    core.loop.post([&] { state.setEnabled(true); });
    return QCoreApplication::exec();
}

} // namespace twk
