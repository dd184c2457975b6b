#pragma once

#include "app/app_state.h"
#include "app/url_router.h"
#include "platform/permissions.h"

#include <functional>
#include <string>
#include <vector>

namespace twk {

/// Builds the long-lived parts at launch and receives opened URLs. The
/// desktop's views are built by the steps the composition root hands in,
/// so this class stays free of any toolkit.
class AppDelegate {
public:
    struct LaunchSteps {
        /// Builds the tray item and its popover; it reads the permissions itself.
        std::function<void()> createMenuBar;
        /// Creates, sizes and shows the HUD without taking the focus.
        std::function<void()> showStatusHUD;
        /// Starts the browser-extension bridge.
        std::function<void()> startBridge;
    };

    AppDelegate(AppState& state, Permissions& permissions, UrlRouter& router, LaunchSteps steps = {})
        : state_(state), permissions_(permissions), router_(router), steps_(std::move(steps))
    {
    }

    void applicationDidFinishLaunching();
    void openUrls(const std::vector<std::string>& urls) { router_.open(urls); }

private:
    AppState& state_;
    Permissions& permissions_;
    UrlRouter& router_;
    LaunchSteps steps_;
};

} // namespace twk
