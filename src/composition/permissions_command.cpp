#include "composition/commands.h"
#include "platform/linux/linux_permissions.h"

#include <QCoreApplication>

#include <iostream>

namespace twk {

int fail(const std::string& message, int code)
{
    std::cerr << "tarnwick: " << message << "\n";
    return code;
}

/// Prints each permission and how to get a missing one; exits 1 when any is
/// missing, so that scripts can check before starting the agent.
int runPermissions(int argc, char** argv)
{
    QCoreApplication core(argc, argv);
    LinuxPermissions permissions;
    struct Check {
        const char* name;
        bool granted;
        const char* fix;
    };
    const Check checks[] = {
        {"microphone", permissions.microphoneGranted(),
         "start the sound server (systemctl --user start pipewire-pulse, or pulseaudio --start) and make sure it "
         "has an input"},
        {"accessibility", permissions.accessibilityGranted(),
         "turn on the accessibility bus with: dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus "
         "org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true "
         "(to keep it on across logins: gsettings set org.gnome.desktop.interface toolkit-accessibility true), "
         "then restart the applications to control"},
        {"screen recording", permissions.screenRecordingGranted(),
         "needs an X11 session: log in to one (not Wayland), with DISPLAY naming its display"},
    };
    bool allGranted = true;
    for (const auto& check : checks) {
        std::cout << check.name << ": " << (check.granted ? "granted" : "missing") << "\n";
        if (!check.granted) std::cout << "  to fix: " << check.fix << "\n";
        allGranted = allGranted && check.granted;
    }
    return allGranted ? 0 : 1;
}

} // namespace twk
