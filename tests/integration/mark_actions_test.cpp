#include "accessibility/mark_actions.h"
#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/xtest_input_device.h"

#include "integration/on_thread.h"
#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <future>
#include <thread>

namespace twk {
namespace {

using namespace std::chrono_literals;

/// The Qt fixture's window, marked over the real accessibility bus and acted
/// on as the voice tools do: every call on the one accessibility thread.
class MarkActionsOnDesktopTest : public ::testing::Test {
protected:
    ~MarkActionsOnDesktopTest() override
    {
        onThread([this] { map.clear(); });
        thread.stop();
    }

    template <typename F>
    auto onThread(F work) -> decltype(work())
    {
        return test::runOnThread(thread, std::move(work));
    }

    int markId(const std::string& role, const std::string& label) const
    {
        for (const auto& mark : window->marks)
            if (mark.role == role && mark.label == label) return mark.id;
        ADD_FAILURE() << "no " << role << " " << label;
        return 0;
    }

    void SetUp() override
    {
        ASSERT_TRUE(fixture.waitForOutput("ready"));
        for (int i = 0; i < 100 && !(window && window->windowTitle == "Fixture Window" && window->marks.size() > 10);
             ++i) {
            window = onThread([&] { return service.markFocusedWindow(100); });
            std::this_thread::sleep_for(50ms);
        }
        ASSERT_TRUE(window && window->windowTitle == "Fixture Window") << "the fixture's window never came up";
    }

    test::ChildProcess fixture{QT_WIDGETS_FIXTURE, {}};
    WorkerPool thread{1};
    AtspiAccessibility ax;
    LinuxWorkspace workspace;
    MarkElementMap map;
    XTestInputDevice device;
    AccessibilityService service{{ax, workspace, map, thread, static_cast<int>(getpid()),
                                  [](Duration wait) { std::this_thread::sleep_for(wait); }}};
    MarkActions marks{service, device};
    std::optional<WindowMarks> window;
};

TEST_F(MarkActionsOnDesktopTest, ClickFillAndSearchReachTheApplication)
{
    const int save = markId("AXButton", "Save");
    const auto clicked = onThread([&] { return marks.clickMark(save); });
    ASSERT_TRUE(clicked) << clicked.error().description();
    EXPECT_TRUE(fixture.waitForOutput("pressed Save"));

    const int name = markId("AXTextField", "Name");
    const auto filled = onThread([&] { return marks.setMarkValue(name, "Zoë Ågren"); });
    ASSERT_TRUE(filled) << filled.error().description();
    EXPECT_TRUE(fixture.waitForOutput("text Name: Zoë Ågren"));
    const auto state = onThread([&] { return marks.readMarkState(name); });
    ASSERT_TRUE(state);
    EXPECT_EQ(state->value, "Zoë Ågren");

    // A text field offers no press action: the pointer clicks it instead,
    // which gives it the keyboard focus.
    const auto focused = [&] { return onThread([&] { return marks.readMarkState(name)->focused; }); };
    ASSERT_EQ(focused(), false);
    const auto clickedField = onThread([&] { return marks.clickMark(name); });
    ASSERT_TRUE(clickedField) << clickedField.error().description();
    EXPECT_EQ(clickedField.value(), "clicked mark " + std::to_string(name) + " (synth at center)");
    for (int i = 0; i < 100 && focused() != true; ++i) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(focused(), true);

    EXPECT_TRUE(onThread([&] { return marks.focusedWindowContainsText(fixture.pid(), "  dark MODE "); }));
    EXPECT_FALSE(onThread([&] { return marks.focusedWindowContainsText(fixture.pid(), "Light mode"); }));
}

} // namespace
} // namespace twk
