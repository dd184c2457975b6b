#pragma once

#include "app/app_state.h"
#include "app/url_router.h"
#include "bridge/chrome_bridge.h"
#include "platform/permissions.h"

#include <string>
#include <vector>

namespace twk {

/// Builds the long-lived parts at launch and receives opened URLs.
/// The tray item, the HUD and the browser bridge join the launch sequence
/// as they are built.
class AppDelegate {
public:
    AppDelegate(AppState& state, Permissions& permissions, UrlRouter& router, ChromeBridge& bridge)
        : state_(state), permissions_(permissions), router_(router), bridge_(bridge)
    {
    }

    void applicationDidFinishLaunching();
    void openUrls(const std::vector<std::string>& urls) { router_.open(urls); }

private:
    AppState& state_;
    Permissions& permissions_;
    UrlRouter& router_;
    ChromeBridge& bridge_;
};

} // namespace twk
