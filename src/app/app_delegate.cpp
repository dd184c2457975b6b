#include "app/app_delegate.h"

#include "app/permission_refresh.h"
#include "common/log.h"

namespace twk {

void AppDelegate::applicationDidFinishLaunching()
{
    logLine("[twk] applicationDidFinishLaunching fired");
    // No dock icon or main window to switch off here: a tray application on
    // Linux simply opens none and keeps running without one.
    if (steps_.createMenuBar) {
        steps_.createMenuBar();
    } else {
        // Without a tray controller to read them, the state still starts right.
        refreshPermissions(state_, permissions_);
    }
    if (steps_.showStatusHUD) steps_.showStatusHUD();
    if (steps_.startBridge) steps_.startBridge();
    if (steps_.createMenuBar) logLine("[twk] MenuBarController constructed");
}

} // namespace twk
