#include "app/app_delegate.h"
#include "app/relauncher.h"
#include "app/url_router.h"
#include "composition/commands.h"
#include "composition/core.h"
#include "composition/desktop_shortcut.h"
#include "composition/voice.h"
#include "platform/linux/linux_app_shell.h"
#include "platform/linux/linux_permissions.h"
#include "platform/linux/local_server.h"
#include "platform/linux/quit_signals.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/x11_display.h"
#include "ui/menu_bar_controller.h"
#include "ui/status_hud_controller.h"

#include <QApplication>

#include <iostream>

namespace twk {
namespace {

constexpr auto relaunchWait = std::chrono::seconds(10);
constexpr auto handOverTimeout = std::chrono::seconds(5);

/// The long-lived objects of one desktop run, built once, in dependency order.
struct DesktopApp {
    explicit DesktopApp(const ServiceConfig& config) : core(config), voice(core, config) {}

    Core core;
    Voice voice;
    LinuxPermissions permissions;
    LinuxAppShell shell;
    UrlRouter router{core.loop, [this] { core.state.refreshStatus(); }};
    Relauncher relauncher{shell, core.loop};
    ui::StatusHUDController hud{core.state};
    std::unique_ptr<ui::MenuBarController> menuBar;
    AppDelegate delegate{core.state, permissions, router, launchSteps()};
    QuitSignals quitSignals;

    AppDelegate::LaunchSteps launchSteps()
    {
        return {.createMenuBar = [this] { menuBar = std::make_unique<ui::MenuBarController>(
                                              core.state, permissions, core.loop, hud, popoverActions()); },
                .showStatusHUD = [this] { hud.show(); },
                .startBridge = [this] { core.bridge.start(); }};
    }

    ui::PopoverActions popoverActions()
    {
        return {.openUrl = [this](const std::string& url) { core.workspace.openURL(url); },
                .signInLink = [this] { return core.backend.signInLink(); },
                .dashboardLink = [this] { return core.backend.dashboardLink(); },
                .openSoundSettings = [this] { permissions.openSoundSettings(); },
                .requestAccessibility = [this] { permissions.requestAccessibility(); },
                .requestScreenRecording = [this] { permissions.requestScreenRecording(); },
                .relaunch = [this] { relauncher.relaunch(); },
                .quit = [this] { shell.terminate(); },
                .availableMics =
                    [this] {
                        std::vector<std::pair<std::string, std::string>> mics;
                        for (const auto& mic : voice.audio->availableMics()) mics.emplace_back(mic.uniqueID, mic.name);
                        return mics;
                    },
                .selectedMicID = [this] { return voice.audio->selectedMicID(); },
                .chooseMic =
                    [this](const std::string& id) {
                        voice.audio->setSelectedMicID(id);
                        voice.audio->reconfigureMic();
                    }};
    }
};

} // namespace

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

    // The app still starts without a backend: the popover shows the problem when it is used.
    if (const auto problem = ensureLocalServer(config.value())) logLine("[twk] " + *problem);
    DesktopApp app(config.value());
    serveForwardedTools(app.core, instance);
    if (const auto listening = instance.listen([&app](std::vector<std::string> urls) { app.delegate.openUrls(urls); });
        !listening)
        return fail(listening.error().description());

    app.core.loop.post([&app, urls = cmd.urls] {
        app.delegate.applicationDidFinishLaunching();
        if (!urls.empty()) app.delegate.openUrls(urls);
    });
    DesktopShortcut shortcut(app.core);
    app.core.loop.post([&shortcut] { shortcut.start(); });
    return QApplication::exec();
}

} // namespace twk
