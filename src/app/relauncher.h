#pragma once

#include "common/main_loop.h"
#include "platform/app_shell.h"

#include <string>

namespace twk {

/// Starts a fresh instance of the application and quits this one, so that
/// desktop settings that apply only at start-up (an accessibility bus turned
/// on, for one) take effect.
///
/// A binary running from its build tree relaunches the user's installed copy
/// (~/.local/bin/tarnwick, where the README's run command installs it) when
/// one exists, the way a development build hands over to the installed app.
/// The new instance is started with `--wait-for-instance` so that it waits
/// for this one to release the single-instance lock instead of handing over
/// to it.
class Relauncher {
public:
    static constexpr const char* waitFlag = "--wait-for-instance";
    static constexpr Duration terminateDelay = std::chrono::milliseconds(500);

    Relauncher(AppShell& shell, MainLoop& loop) : shell_(shell), loop_(loop) {}

    /// The program a relaunch starts.
    std::string chosenPath() const;
    void relaunch();

private:
    AppShell& shell_;
    MainLoop& loop_;
};

} // namespace twk
