#include "accessibility/input_synthesis.h"
#include "accessibility/mark_actions.h"
#include "capture/marks_overlay.h"
#include "capture/screen_capture.h"
#include "fakes/decoded_png.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/x11_clipboard.h"
#include "platform/linux/x11_screen.h"
#include "platform/linux/xtest_input_device.h"

#include "integration/on_thread.h"
#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <thread>

// Last: Xlib's macros clash with the test framework's names.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace twk {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

/// Splits the test screen (1920x1080) into a primary monitor of 1600 pixels
/// on the left, where the fixture's window opens, and one of 320 on the right.
void splitScreenIntoTwoMonitors()
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    ASSERT_TRUE(resources != nullptr && resources->noutput > 0);
    XRRMonitorInfo* left = XRRAllocateMonitor(display, 1);
    left->name = XInternAtom(display, "TWK-LEFT", False);
    left->primary = True;
    left->x = 0, left->y = 0, left->width = 1600, left->height = 1080;
    left->mwidth = 400, left->mheight = 270;
    left->outputs[0] = resources->outputs[0]; // takes the output's own monitor's place
    XRRMonitorInfo* right = XRRAllocateMonitor(display, 0);
    right->name = XInternAtom(display, "TWK-RIGHT", False);
    right->x = 1600, right->y = 0, right->width = 320, right->height = 1080;
    right->mwidth = 80, right->mheight = 270;
    XRRSetMonitor(display, root, left);
    XRRSetMonitor(display, root, right);
    XSync(display, False);
    XFree(left);
    XFree(right);
    XRRFreeScreenResources(resources);
    XCloseDisplay(display);
}

/// The Qt fixture's window on the left monitor, marked over the real
/// accessibility bus, captured from the real X server, and clicked through
/// XTest at a pixel of the screenshot.
class ScreenCaptureOnDesktopTest : public ::testing::Test {
protected:
    ~ScreenCaptureOnDesktopTest() override
    {
        test::runOnThread(thread, [this] { map.clear(); });
        thread.stop();
    }

    void SetUp() override
    {
        splitScreenIntoTwoMonitors();
        ASSERT_TRUE(fixture.waitForOutput("ready"));
        for (int i = 0; i < 100 && !(window && window->windowTitle == "Fixture Window" && window->marks.size() > 10);
             ++i) {
            window = test::runOnThread(thread, [&] { return service.markFocusedWindow(80); });
            std::this_thread::sleep_for(50ms);
        }
        ASSERT_TRUE(window && window->windowTitle == "Fixture Window") << "the fixture's window never came up";
    }

    const MarkedElement& mark(const std::string& label) const
    {
        for (const auto& m : window->marks)
            if (m.label == label) return m;
        throw std::runtime_error("no mark " + label);
    }

    test::ChildProcess fixture{QT_WIDGETS_FIXTURE, {}};
    WorkerPool thread{1};
    AtspiAccessibility ax;
    LinuxWorkspace workspace;
    MarkElementMap map;
    AccessibilityService service{{ax, workspace, map, thread, static_cast<int>(getpid()),
                                  [](Duration wait) { std::this_thread::sleep_for(wait); }}};
    std::optional<WindowMarks> window;

    X11Screen screen;
    CaptureGeometry geometry;
    const fs::path shots = defaultDebugScreenshotDir();
    ScreenCapture capture{{screen, workspace, geometry, shots}};
};

TEST_F(ScreenCaptureOnDesktopTest, MonitorsAndWindowsAreReadFromTheServer)
{
    const auto displays = screen.displays();
    ASSERT_EQ(displays.size(), 2u);
    EXPECT_EQ(displays[0].name, "TWK-LEFT");
    EXPECT_EQ(displays[0].bounds, (ScreenRect{0, 0, 1600, 1080}));
    EXPECT_EQ(displays[1].bounds, (ScreenRect{1600, 0, 320, 1080}));

    const auto windows = screen.windowsFrontToBack();
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.front().ownerPid, fixture.pid());
    EXPECT_EQ(windows.front().layer, 0);
    EXPECT_EQ(windows.front().bounds, (ScreenRect{100, 100, 480, 520}));
}

TEST_F(ScreenCaptureOnDesktopTest, BadgeSitsOnTheButtonAndAClickThereIsMapped)
{
    const auto image = capture.captureWithMarks(window->marks);
    ASSERT_TRUE(image);
    // The fixture's monitor, shrunk from 1600 to 1280 pixels wide.
    EXPECT_EQ(image->width, 1280);
    EXPECT_EQ(image->height, 864);
    EXPECT_EQ(geometry.lastBounds.width, 1600);
    EXPECT_DOUBLE_EQ(geometry.lastImageScale.x, 0.8);
    EXPECT_TRUE(screen.lastCaptureShared());

    // The window's light face shows where it is; the bare root is black.
    const test::DecodedPNG png(image->png);
    EXPECT_GT(png.rgb(0.8 * 340, 0.8 * 500) >> 16, 0xc0u);
    EXPECT_EQ(png.rgb(0.8 * 1000, 0.8 * 900), 0u);

    const MarkedElement& save = mark("Save");
    const BadgePlacement badge = badgePlacement(save, {0, 0}, geometry.lastImageScale);
    const uint32_t beside = png.rgb(badge.cx - badge.radius * 0.7, badge.cy);
    EXPECT_GT(beside >> 16, 0xf0u) << std::hex << beside;
    EXPECT_LT(beside & 0xff, 0x30u) << std::hex << beside;

    // The model reads the badge off the image and clicks its centre pixel.
    QtMainLoop loop;
    XTestInputDevice device;
    X11Clipboard clipboard;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    InputSynthesis input{{loop, device, clipboard, workspace, skills, geometry}};
    const auto clicked = input.clickAt(std::round(badge.cx), std::round(badge.cy), ClickKind::left);
    ASSERT_TRUE(clicked) << clicked.error().description();
    EXPECT_TRUE(fixture.waitForOutput("pressed Save"));
}

TEST_F(ScreenCaptureOnDesktopTest, ToolCommandPrintsTheMarksAndKeepsAPrivateCopy)
{
    test::ChildProcess tool(TARNWICK_EXE, {"tool", "inspect_screen"});
    ASSERT_EQ(tool.waitForExit(20s), 0) << tool.output();
    EXPECT_NE(tool.output().find(R"("window":"Fixture Window")"), std::string::npos) << tool.output();
    EXPECT_NE(tool.output().find("\niVBORw0KGgo"), std::string::npos) << "no base64 PNG line";

    std::vector<fs::path> files(fs::directory_iterator(shots), fs::directory_iterator{});
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fs::status(shots).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(files[0]).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_NE(tool.output().find("screenshot saved \u2192 " + files[0].string()), std::string::npos);
}

} // namespace
} // namespace twk
