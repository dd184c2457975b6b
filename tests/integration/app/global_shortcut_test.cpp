// The power switch's global shortcut on the real X server, pressed from
// outside the application as a user would.

#include "integration/loopback_http_server.h"
#include "integration/process_helpers.h"
#include "platform/linux/x11_global_shortcut.h"

#include <gtest/gtest.h>

namespace twk::test {
namespace {

constexpr const char* exe = TARNWICK_EXE;

void press(const std::string& keys)
{
    ChildProcess xdotool("/usr/bin/xdotool", {"key", keys});
    ASSERT_EQ(xdotool.waitForExit(), 0) << xdotool.output();
}

TEST(GlobalShortcut, PressingTheDefaultCombinationFlipsThePowerSwitch)
{
    // A slow credential keeps the session connecting, so only the key turns it off again.
    LoopbackHttpServer backend([](const LoopbackHttpServer::Request&) {
        return LoopbackHttpServer::Response{503, "{}", "application/json", std::chrono::seconds(3)};
    });
    ChildProcess app(exe, {}, {{"TARNWICK_BACKEND_URL", backend.origin()}});
    ASSERT_TRUE(app.waitForOutput("[twk] global shortcut Super+Alt+Space switches Tarnwick on and off"))
        << app.output();

    press("super+alt+space");
    ASSERT_TRUE(app.waitForOutput("[twk] global shortcut: switching on")) << app.output();
    EXPECT_TRUE(backend.waitForRequests(1)); // the session asked for its credential
    // With Caps Lock on it is the same combination.
    press("Caps_Lock");
    press("super+alt+space");
    EXPECT_TRUE(app.waitForOutput("[twk] global shortcut: switching off")) << app.output();
    press("Caps_Lock");
    // Without Super it is not.
    press("alt+space");
    app.waitForOutput("(nothing more)", std::chrono::milliseconds(300));
    EXPECT_EQ(occurrences(app.output(), "[twk] global shortcut: switching"), 2u) << app.output();
}

TEST(GlobalShortcut, ACombinationAnotherProgramHoldsIsReportedOnce)
{
    X11GlobalShortcut holder;
    bool held = false;
    holder.bind(parseShortcutKeys("ctrl+alt+F12").value(), [] {}, [&held](VoidResult bound) { held = bool(bound); });
    ASSERT_TRUE(held);

    ChildProcess app(exe, {}, {{"TARNWICK_SHORTCUT", "Ctrl+Alt+F12"}});
    ASSERT_TRUE(app.waitForOutput("[twk] global shortcut not available: Ctrl+Alt+F12 is taken by another program"))
        << app.output();
    EXPECT_TRUE(app.waitForOutput("[twk] MenuBarController constructed"));
    EXPECT_EQ(occurrences(app.output(), "global shortcut"), 1u) << app.output();
}

TEST(GlobalShortcut, ADesktopPortalIsPreferredAndItsActivationFlipsTheSwitch)
{
    ChildProcess portal("/usr/bin/python3", {TWK_FIXTURES_DIR "/fake_shortcuts_portal.py"});
    ASSERT_TRUE(portal.waitForOutput("ready\n")) << portal.output();
    ChildProcess app(exe, {});
    ASSERT_TRUE(app.waitForOutput("[twk] global shortcut Super+Alt+Space switches Tarnwick on and off"))
        << app.output();
    EXPECT_TRUE(hasLine(portal.output(), "bound power ALT+LOGO+space")) << portal.output();

    ChildProcess activate("/usr/bin/dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.portal.Desktop",
                                                 "/org/freedesktop/portal/desktop", "org.tarnwick.Test.Press",
                                                 "string:power"});
    ASSERT_EQ(activate.waitForExit(), 0) << activate.output();
    EXPECT_TRUE(app.waitForOutput("[twk] global shortcut: switching on")) << app.output();
    // The keys are the portal's: no X11 grab took them as well.
    press("super+alt+space");
    app.waitForOutput("(nothing more)", std::chrono::milliseconds(300));
    EXPECT_EQ(occurrences(app.output(), "[twk] global shortcut: switching"), 1u) << app.output();
}

TEST(GlobalShortcut, APortalRefusalIsReported)
{
    ChildProcess portal("/usr/bin/python3", {TWK_FIXTURES_DIR "/fake_shortcuts_portal.py"}, {{"BIND_RESPONSE", "1"}});
    ASSERT_TRUE(portal.waitForOutput("ready\n")) << portal.output();
    ChildProcess app(exe, {});
    EXPECT_TRUE(app.waitForOutput("[twk] global shortcut not available: the desktop did not confirm Super+Alt+Space"))
        << app.output();
}

} // namespace
} // namespace twk::test
