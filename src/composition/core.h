#pragma once

// The objects every run of the program that acts needs, built once, in
// dependency order, after the Qt application object exists.

#include "accessibility/accessibility_service.h"
#include "accessibility/capture_geometry.h"
#include "accessibility/input_synthesis.h"
#include "app/app_state.h"
#include "app/service_config.h"
#include "backend/backend.h"
#include "bridge/chrome_bridge.h"
#include "capture/screen_capture.h"
#include "common/cancellation_token.h"
#include "common/worker_pool.h"
#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/eds_calendar_store.h"
#include "platform/linux/kde_connect_text_messages.h"
#include "platform/linux/linux_desktop_appearance.h"
#include "platform/linux/linux_desktop_launcher.h"
#include "platform/linux/linux_host.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/mpris_media_keys.h"
#include "platform/linux/network_manager_wifi.h"
#include "platform/linux/pulse_output_volume.h"
#include "platform/linux/qt_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/qt_settings.h"
#include "platform/linux/qt_websocket_listener.h"
#include "platform/linux/script_automations.h"
#include "platform/linux/x11_clipboard.h"
#include "platform/linux/x11_screen.h"
#include "platform/linux/xtest_input_device.h"
#include "skills/skills.h"
#include "tools/tool_dispatcher.h"

#include <QCoreApplication>

#include <thread>

namespace twk {

struct Core {
    explicit Core(const ServiceConfig& config)
        : backend(http, settings, config.backendOrigin),
          bridge(loop, bridgeListener, ExtensionOriginPolicy(ExtensionOriginPolicy::parseIds(config.extensionIds)),
                 static_cast<std::uint16_t>(config.bridgePort))
    {
    }
    // Skills still running on a worker use the objects below: they finish
    // before any of those is freed.
    ~Core()
    {
        workers.stop();
        accessibilityThread.stop();
    }
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    QtMainLoop loop;
    QtSettings settings;
    CancellationToken cancellation;
    WorkerPool workers{4};
    QtHttpClient http;
    Backend backend;
    AppState state{settings, loop, &backend};
    LinuxHost host;
    LinuxWorkspace workspace;
    MprisMediaKeys mediaKeys;
    PulseOutputVolume volume;
    LinuxDesktopAppearance appearance;
    NetworkManagerWifi wifi;
    ScriptAutomations automations;
    LinuxDesktopLauncher launcher;
    KdeConnectTextMessages textMessages;
    EdsCalendarStore calendar;
    Skills skills{{loop, workspace, mediaKeys, host, volume, appearance, wifi, automations, launcher, textMessages,
                   calendar}};
    QtWebSocketListener bridgeListener;
    ChromeBridge bridge;
    XTestInputDevice inputDevice;
    X11Clipboard clipboard;
    CaptureGeometry captureGeometry;
    InputSynthesis input{{loop, inputDevice, clipboard, workspace, skills, captureGeometry}};
    // Every accessibility call, and the marks, live on this one thread.
    WorkerPool accessibilityThread{1};
    AtspiAccessibility accessibility;
    MarkElementMap markElementMap;
    AccessibilityService accessibilityService{
        {accessibility, workspace, markElementMap, accessibilityThread, static_cast<int>(QCoreApplication::applicationPid()),
         [](Duration wait) { std::this_thread::sleep_for(wait); }}};
    MarkActions markActions{accessibilityService, inputDevice};
    X11Screen screen;
    ScreenCapture screenCapture{{screen, workspace, captureGeometry, defaultDebugScreenshotDir()}};
    AgentExecutor agent{{loop, state, backend, cancellation, accessibilityService, markActions, input, inputDevice, &screenCapture}};
    ToolDispatcher tools{{loop, state, cancellation, host, workspace, skills, workers, bridge, &input, &accessibilityService,
                          &markActions, &screenCapture, &agent}};
};

} // namespace twk
