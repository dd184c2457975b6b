// Composition root: parses the command line, builds the platform objects and
// the core once, wires them and runs the desktop application.

#include "app/app_delegate.h"
#include "app/app_state.h"
#include "app/command_line.h"
#include "app/relauncher.h"
#include "app/service_config.h"
#include "app/url_router.h"
#include "common/cancellation_token.h"
#include "common/log.h"
#include "backend/backend.h"
#include "common/worker_pool.h"
#include "platform/linux/linux_app_shell.h"
#include "platform/linux/linux_host.h"
#include "platform/linux/linux_permissions.h"
#include "platform/linux/qt_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/qt_settings.h"
#include "platform/linux/quit_signals.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/x11_display.h"
#include "platform/workspace.h"
#include "tools/tool_dispatcher.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace {

using namespace twk;

constexpr auto relaunchWait = std::chrono::seconds(10);
constexpr auto handOverTimeout = std::chrono::seconds(5);

int fail(const std::string& message, int code = 1)
{
    std::cerr << "tarnwick: " << message << "\n";
    return code;
}

/// No running applications are known until the desktop's window list is
/// wired in; list_apps answers with an empty list meanwhile.
class NoRunningApplications : public Workspace {
public:
    std::vector<RunningApplication> runningApplications() override { return {}; }
};

/// The objects every run that acts needs: state, the backend, the cancel flag
/// and the tools. Built once the Qt application object exists.
struct Core {
    explicit Core(const ServiceConfig& config) : backend(http, settings, config.backendOrigin) {}

    QtMainLoop loop;
    QtSettings settings;
    CancellationToken cancellation;
    WorkerPool workers{4};
    QtHttpClient http;
    Backend backend;
    AppState state{settings, loop, &backend};
    LinuxHost host;
    NoRunningApplications workspace;
    ToolDispatcher tools{{loop, state, cancellation, host, workspace}};
};

/// The long-lived objects of one desktop run, built once, in dependency order.
struct DesktopApp {
    explicit DesktopApp(const ServiceConfig& config) : core(config) {}

    Core core;
    LinuxPermissions permissions;
    LinuxAppShell shell;
    UrlRouter router{core.loop, [this] { core.state.refreshStatus(); }};
    Relauncher relauncher{shell, core.loop};
    AppDelegate delegate{core.state, permissions, router};
    QuitSignals quitSignals;
};

int runDesktop(int argc, char** argv, const Command& cmd)
{
    if (const auto problem = x11DisplayProblem())
        return fail(*problem + ". Tarnwick is a desktop application: start it inside an X11 desktop session.");
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());

    SingleInstance instance;
    const auto role = instance.acquire(cmd.waitForInstance ? relaunchWait : std::chrono::milliseconds(0));
    if (!role) return fail(role.error().description());

    if (role.value() == SingleInstance::Role::secondary) {
        QCoreApplication core(argc, argv);
        if (const auto sent = instance.handOver(cmd.urls, handOverTimeout); !sent) return fail(sent.error().description());
        if (cmd.urls.empty()) std::cout << "Tarnwick is already running.\n";
        return 0;
    }

    // The desktop side (input synthesis, window lists, screen capture) is X11.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName("tarnwick");
    QApplication::setApplicationVersion(TARNWICK_VERSION);
    // A tray application: it has no main window and keeps running without one.
    QApplication::setQuitOnLastWindowClosed(false);

    DesktopApp app(config.value());
    if (const auto listening = instance.listen([&app](std::vector<std::string> urls) { app.delegate.openUrls(urls); });
        !listening)
        return fail(listening.error().description());

    app.core.loop.post([&app, urls = cmd.urls] {
        app.delegate.applicationDidFinishLaunching();
        if (!urls.empty()) app.delegate.openUrls(urls);
    });
    return QApplication::exec();
}

int runPermissions(int argc, char** argv)
{
    QCoreApplication core(argc, argv);
    LinuxPermissions permissions;
    const auto show = [](const char* name, bool granted) {
        std::cout << name << ": " << (granted ? "granted" : "missing") << "\n";
    };
    show("microphone", permissions.microphoneGranted());
    show("accessibility", permissions.accessibilityGranted());
    show("screen recording", permissions.screenRecordingGranted());
    return 0;
}

/// True when a tool's answer is a JSON object saying "ok": false.
bool reportsFailure(const std::string& resultText)
{
    const auto json = nlohmann::json::parse(resultText, nullptr, false);
    if (!json.is_object()) return false;
    const auto ok = json.find("ok");
    return ok != json.end() && *ok == false;
}

Task<void> runOneTool(ToolDispatcher& tools, std::string name, std::string args)
{
    const ToolResult result = co_await tools.run(std::move(name), std::move(args));
    std::cout << result.text << "\n";
    if (result.kind == ToolResult::Kind::image) std::cout << result.base64PNG << "\n";
    std::cout.flush();
    QCoreApplication::exit(reportsFailure(result.text) ? 1 : 0);
}

/// Runs one tool through the dispatcher, as a tool call of the speech model
/// would, and prints its result.
int runTool(int argc, char** argv, const Command& cmd)
{
    const auto config = loadServiceConfig();
    if (!config) return fail(config.error().description());
    QCoreApplication qtApp(argc, argv);
    Core core(config.value());
    spawn(core.loop, runOneTool(core.tools, cmd.toolName, cmd.toolArgs));
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Command cmd = parseCommandLine(args);
    switch (cmd.kind) {
    case Command::Kind::help:
        std::cout << usageText();
        return 0;
    case Command::Kind::version:
        std::cout << "tarnwick " << TARNWICK_VERSION << "\n";
        return 0;
    case Command::Kind::invalid:
        std::cerr << "tarnwick: " << cmd.error << "\nTry 'tarnwick --help'.\n";
        return 2;
    case Command::Kind::permissions:
        return runPermissions(argc, argv);
    case Command::Kind::tool:
        return runTool(argc, argv, cmd);
    case Command::Kind::app:
        break;
    }
    return runDesktop(argc, argv, cmd);
}
