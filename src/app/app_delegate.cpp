#include "app/app_delegate.h"

#include "app/permission_refresh.h"
#include "common/log.h"

namespace twk {

void AppDelegate::applicationDidFinishLaunching()
{
    logLine("[twk] applicationDidFinishLaunching fired");
    // The tray controller reads the permissions when it is built; until it
    // exists the delegate does, so the state is right from the start.
    refreshPermissions(state_, permissions_);
    bridge_.start();
    logLine("[twk] MenuBarController constructed");
}

} // namespace twk
