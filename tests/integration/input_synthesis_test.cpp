#include "integration/desktop_input_parts.h"
#include "integration/process_helpers.h"
#include "integration/qt_spin.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

// Last: Xlib's macros (None, Bool) clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include "integration/x11_focus.h"

namespace twk {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::hasLine;
using test::spinUntil;

const std::string exotic = "héllo → ✓ Ünïcødé 日本 𝄞";

/// The keyboard mapping as the server has it now.
std::vector<KeySym> keyboardMapping()
{
    Display* display = XOpenDisplay(nullptr);
    int minCode = 0, maxCode = 0, per = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &per);
    std::vector<KeySym> all(syms, syms + static_cast<ptrdiff_t>(maxCode - minCode + 1) * per);
    XFree(syms);
    XCloseDisplay(display);
    return all;
}

/// A grey-level sample of a screen rectangle, to tell whether what it shows moved.
std::vector<unsigned long> screenPixels(int x, int y, int w, int h)
{
    Display* display = XOpenDisplay(nullptr);
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    std::vector<unsigned long> pixels;
    for (int j = 0; j < h; j += 2)
        for (int i = 0; i < w; i += 2) pixels.push_back(XGetPixel(image, i, j));
    XDestroyImage(image);
    XCloseDisplay(display);
    return pixels;
}

class InputSynthesisDesktopTest : public ::testing::Test, protected test::DesktopInputParts {
protected:
    template <typename T>
    T run(Task<T> task)
    {
        auto result = std::make_shared<std::optional<T>>();
        spawn(loop, [](Task<T> t, std::shared_ptr<std::optional<T>> out) -> Task<void> {
            out->emplace(co_await std::move(t));
        }(std::move(task), result));
        EXPECT_TRUE(spinUntil([&] { return result->has_value(); }, 20s));
        return std::move(**result);
    }

    /// Starts a zenity dialog and waits until it has the keyboard.
    std::unique_ptr<ChildProcess> dialog(const std::vector<std::string>& args)
    {
        auto child = std::make_unique<ChildProcess>("/usr/bin/zenity", args);
        const int pid = child->pid();
        EXPECT_TRUE(spinUntil([&] { return test::focusedWindowPid() == pid; }, 15s));
        std::this_thread::sleep_for(300ms); // the entry takes the focus once shown
        return child;
    }

    /// Presses Return in an entry dialog and gives back what zenity printed.
    std::string submit(ChildProcess& entry)
    {
        EXPECT_TRUE(run(input.pressKey("return", std::nullopt)));
        EXPECT_EQ(entry.waitForExit(10s), 0) << entry.output();
        return entry.output();
    }
};

TEST_F(InputSynthesisDesktopTest, TypesEveryCharacterExactlyAndGivesTheKeysBack)
{
    const auto before = keyboardMapping();
    auto entry = dialog({"--entry", "--text=Type"});
    const auto typed = run(input.typeText(exotic));
    ASSERT_TRUE(typed) << typed.error().description();
    EXPECT_EQ(typed.value(), "typed 22 chars");
    EXPECT_EQ(keyboardMapping(), before);
    EXPECT_TRUE(hasLine(submit(*entry), exotic)) << entry->output();
}

TEST_F(InputSynthesisDesktopTest, SelectAllThenTypingReplacesTheText)
{
    auto entry = dialog({"--entry", "--text=Replace", "--entry-text=old words here"});
    ASSERT_TRUE(run(input.pressKey("cmd+a", std::nullopt)));
    ASSERT_TRUE(run(input.typeText("Neu ß")));
    EXPECT_TRUE(hasLine(submit(*entry), "Neu ß")) << entry->output();
}

TEST_F(InputSynthesisDesktopTest, PasteInsertsTheTextThenTheUsersClipboardComesBack)
{
    X11Clipboard usersApp; // another program that holds the clipboard
    ASSERT_TRUE(usersApp.writeString("the user's own ✂ text"));
    auto entry = dialog({"--entry", "--text=Paste"});
    const auto pasted = run(input.pasteText(exotic));
    ASSERT_TRUE(pasted) << pasted.error().description();
    ASSERT_TRUE(spinUntil([&] { return !input.restorePending(); }, 3s));
    EXPECT_TRUE(hasLine(submit(*entry), exotic)) << entry->output();
    // Read back as any other application would, from the clipboard's new owner.
    EXPECT_FALSE(usersApp.ownsClipboard());
    EXPECT_EQ(usersApp.readString(), "the user's own ✂ text");
}

TEST_F(InputSynthesisDesktopTest, ScrollMovesTheWindowUnderThePointerAndBack)
{
    std::string lines;
    for (int i = 1; i <= 400; ++i) lines += "line " + std::to_string(i) + " of a long text\n";
    const std::string file = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/long.txt";
    FILE* out = std::fopen(file.c_str(), "w");
    std::fputs(lines.c_str(), out);
    std::fclose(out);
    auto viewer = dialog({"--text-info", "--filename=" + file, "--width=600", "--height=500"});
    // The dialog opens centred: the pointer goes to the middle of its text.
    ASSERT_TRUE(input.clickAt(960, 540, ClickKind::left));
    std::this_thread::sleep_for(300ms);
    const auto top = screenPixels(760, 400, 400, 200);

    ASSERT_TRUE(input.scroll(15, 0));
    ASSERT_TRUE(spinUntil([&] { return screenPixels(760, 400, 400, 200) != top; }, 3s));
    ASSERT_TRUE(input.scroll(-15, 0));
    EXPECT_TRUE(spinUntil([&] { return screenPixels(760, 400, 400, 200) == top; }, 3s));
}

TEST_F(InputSynthesisDesktopTest, ToolCommandsTypeAndPressKeysInTheFocusedApplication)
{
    X11Clipboard usersApp;
    ASSERT_TRUE(usersApp.writeString("copied before"));
    auto entry = dialog({"--entry", "--text=Tool"});
    ChildProcess typeText(TARNWICK_EXE, {"tool", "type_text", R"({"text":"über → 𝄞"})"});
    ASSERT_EQ(typeText.waitForExit(15s), 0) << typeText.output();
    EXPECT_TRUE(hasLine(typeText.output(), R"({"ok":true,"message":"pasted 8 chars"})")) << typeText.output();
    ChildProcess pressKey(TARNWICK_EXE, {"tool", "press_key", R"({"combo":"Return"})"});
    ASSERT_EQ(pressKey.waitForExit(15s), 0) << pressKey.output();
    EXPECT_EQ(entry->waitForExit(10s), 0);
    EXPECT_TRUE(hasLine(entry->output(), "über → 𝄞")) << entry->output();
    // The user's text is back, and outlives the process that put it back.
    EXPECT_FALSE(usersApp.ownsClipboard());
    EXPECT_EQ(usersApp.readString(), "copied before") << typeText.output();
    ASSERT_TRUE(usersApp.writeString("copied later")); // the keeper steps aside
}

TEST_F(InputSynthesisDesktopTest, KeysAreNotSentToAWindowOfThisProcess)
{
    Display* display = XOpenDisplay(nullptr);
    const Window own = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, 300, 200, 0, 0, 0);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display, own, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XMapWindow(display, own);
    XSync(display, False);
    ASSERT_TRUE(spinUntil([&] {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, own, &attributes);
        if (attributes.map_state != IsViewable) return false;
        XSetInputFocus(display, own, RevertToParent, CurrentTime);
        XSync(display, False);
        return device.focusIsOwnWindow();
    }));
    const auto typed = run(input.typeText("secret"));
    ASSERT_FALSE(typed);
    EXPECT_EQ(typed.error().code(), 7);

    // Nor clicks on it: inside the window (wherever the window manager put
    // it) refused, beside it posted.
    int left = 0, top = 0;
    Window child = None;
    XTranslateCoordinates(display, own, DefaultRootWindow(display), 0, 0, &left, &top, &child);
    const auto inside = input.clickAt(left + 150, top + 100, ClickKind::left);
    ASSERT_FALSE(inside);
    EXPECT_EQ(inside.error().code(), 11);
    EXPECT_TRUE(input.clickAt(left > 960 ? 10 : 1900, 1000, ClickKind::left));
    XDestroyWindow(display, own);
    XCloseDisplay(display);
}

} // namespace
} // namespace twk
