#include "platform/linux/linux_desktop_launcher.h"

#include "integration/desktop_input_parts.h"
#include "integration/process_helpers.h"
#include "integration/qt_spin.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

using namespace std::chrono_literals;

// Xfce's application finder opens on Alt+F2: a window that has the keyboard
// (xev, printing every key it gets) sees the shortcut, then the query typed.
TEST(LauncherKeysTest, TheShortcutThenTheQueryReachTheDesktop)
{
    test::ChildProcess xev("/usr/bin/xev", {"-event", "keyboard", "-event", "focus"});
    ASSERT_TRUE(xev.waitForOutput("FocusIn event", 10s)) << xev.output();

    LinuxDesktopLauncher launcher("XFCE");
    test::DesktopInputParts desktop(launcher);

    auto reply = std::make_shared<std::optional<std::string>>();
    spawn(desktop.loop, [](Skills& s, InputSynthesis& in, std::shared_ptr<std::optional<std::string>> out) -> Task<void> {
        auto searching = s.spotlight("notes", &in);
        out->emplace(co_await std::move(searching));
    }(desktop.skills, desktop.input, reply));
    ASSERT_TRUE(test::spinUntil([&] { return reply->has_value(); }, 20s));
    EXPECT_EQ(**reply, R"({"ok":true,"message":"opened the launcher search for: notes"})");

    ASSERT_TRUE(xev.waitForOutput("keysym 0x73, s)", 10s)) << xev.output();
    const std::string& seen = xev.output();
    const size_t alt = seen.find("keysym 0xffe9, Alt_L"), f2 = seen.find("keysym 0xffbf, F2"),
                 n = seen.find("keysym 0x6e, n");
    ASSERT_NE(alt, std::string::npos) << seen;
    EXPECT_LT(alt, f2);
    EXPECT_LT(f2, n);
}

} // namespace
} // namespace twk
