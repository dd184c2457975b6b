#include "accessibility/accessibility_service.h"
#include "accessibility/ax_attributes.h"
#include "platform/linux/atspi_accessibility.h"
#include "platform/linux/linux_workspace.h"

#include "integration/on_thread.h"
#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <future>
#include <thread>

namespace twk {
namespace {

using namespace std::chrono_literals;

/// The real accessibility bus of the throw-away desktop, read the way the
/// program reads it: every call on the one accessibility thread.
class AtspiAccessibilityTest : public ::testing::Test {
protected:
    ~AtspiAccessibilityTest() override
    {
        onThread([this] { map.clear(); });
        thread.stop();
    }

    template <typename F>
    auto onThread(F work) -> decltype(work())
    {
        return test::runOnThread(thread, std::move(work));
    }

    /// Marks the frontmost window once `ready` holds of the marks, or gives
    /// the last marking after five seconds.
    std::optional<WindowMarks> markWhen(const std::function<bool(const WindowMarks&)>& ready, int limit = 100)
    {
        std::optional<WindowMarks> marks;
        for (int i = 0; i < 100; ++i) {
            marks = onThread([&] { return service.markFocusedWindow(limit); });
            if (marks && ready(*marks)) break;
            std::this_thread::sleep_for(50ms);
        }
        return marks;
    }

    static const MarkedElement* find(const WindowMarks& window, const std::string& role, const std::string& label)
    {
        for (const auto& mark : window.marks)
            if (mark.role == role && mark.label == label) return &mark;
        return nullptr;
    }

    /// The marks of the frontmost window as JSON: read ahead in bulk by the
    /// walk with its shortcuts, or one read at a time by the walk that
    /// visits everything.
    std::string marksRead(bool quick)
    {
        return onThread([&] {
            ax.setBulkReads(quick);
            service.marker().setShortcuts(quick);
            const auto window = service.markFocusedWindow(100);
            ax.setBulkReads(true);
            service.marker().setShortcuts(true);
            nlohmann::ordered_json marks = nlohmann::ordered_json::array();
            if (window)
                for (const auto& mark : window->marks) marks.push_back(toJson(mark));
            return marks.dump();
        });
    }

    AXElementRef marked(int id)
    {
        return onThread([&] { return map.element(id); });
    }

    WorkerPool thread{1};
    AtspiAccessibility ax;
    LinuxWorkspace workspace;
    MarkElementMap map;
    AccessibilityService service{{ax, workspace, map, thread, static_cast<int>(getpid()),
                                  [](Duration wait) { std::this_thread::sleep_for(wait); }}};
};

class QtFixtureTest : public AtspiAccessibilityTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fixture.waitForOutput("ready"));
        window = markWhen([](const WindowMarks& w) { return w.windowTitle == "Fixture Window" && w.marks.size() > 10; });
        ASSERT_TRUE(window && window->windowTitle == "Fixture Window")
            << "the fixture's window never came up; in front: "
            << (window ? "\"" + window->windowTitle + "\", " + std::to_string(window->marks.size()) + " marks"
                       : std::string("nothing"));
    }

    test::ChildProcess fixture{QT_WIDGETS_FIXTURE, {}};
    std::optional<WindowMarks> window;
};

TEST_F(QtFixtureTest, MarksShowTheWidgetsWithTheirLabelsValuesStatesAndFrames)
{
    const auto* save = find(*window, "AXButton", "Save");
    const auto* dark = find(*window, "AXCheckBox", "Dark mode");
    const auto* slider = find(*window, "AXSlider", "Volume");
    const auto* field = find(*window, "AXTextField", "Name");
    const auto* disabled = find(*window, "AXButton", "Disabled");
    const auto* banana = find(*window, "AXRow", "Banana");
    ASSERT_TRUE(save && dark && slider && field && disabled && banana);
    EXPECT_EQ(dark->value, "0");
    EXPECT_EQ(dark->selected, false);
    EXPECT_EQ(slider->value, "30");
    EXPECT_EQ(disabled->enabled, false);
    EXPECT_EQ(save->enabled, true);
    EXPECT_EQ(save->actions, std::vector<std::string>{"press"});
    // The window sits at (100, 100), 480 wide: every mark lies inside it,
    // stacked top to bottom in layout order.
    for (const auto& mark : window->marks) {
        EXPECT_GE(mark.x, 100) << mark.label;
        EXPECT_LE(mark.x + mark.width, 580) << mark.label;
        EXPECT_GE(mark.y, 100) << mark.label;
    }
    EXPECT_LT(save->y, dark->y);
    EXPECT_LT(dark->y, field->y);
    EXPECT_LT(field->y, slider->y);
    EXPECT_LT(slider->y, banana->y);
    for (int i = 0; i < static_cast<int>(window->marks.size()); ++i) EXPECT_EQ(window->marks[i].id, i + 1);
    EXPECT_EQ(onThread([this] { return map.size(); }), window->marks.size());
}

TEST_F(QtFixtureTest, MarkedElementsActWhereTheUserWould)
{
    const auto dark = marked(find(*window, "AXCheckBox", "Dark mode")->id);
    EXPECT_EQ(onThread([&] { return ax.performAction(dark, "AXPress"); }), 0);
    EXPECT_TRUE(fixture.waitForOutput("checked Dark mode on"));
    const auto field = marked(find(*window, "AXTextField", "Name")->id);
    EXPECT_EQ(onThread([&] { return ax.setAttribute(field, "AXValue", AXValue(std::string("Grüße, Zoë"))); }), 0);
    EXPECT_TRUE(fixture.waitForOutput("text Name: Grüße, Zoë"));
    const auto after = markWhen([](const WindowMarks& w) {
        const auto* box = find(w, "AXCheckBox", "Dark mode");
        return box != nullptr && box->value == "1";
    });
    ASSERT_TRUE(after);
    EXPECT_EQ(find(*after, "AXCheckBox", "Dark mode")->value, "1");
    EXPECT_EQ(find(*after, "AXTextField", "Name")->value, "Grüße, Zoë");
}

TEST_F(QtFixtureTest, QuickWalkGivesTheMarksOfThePlainWalk)
{
    const std::string plain = marksRead(false);
    EXPECT_GT(plain.size(), 100u);
    EXPECT_EQ(marksRead(true), plain);
}

TEST_F(QtFixtureTest, SnapshotTextOfTheFixtureWindow)
{
    const auto snapshot = onThread([this] { return service.snapshotText(100); });
    EXPECT_EQ(snapshot.elementCount, static_cast<int>(snapshot.marks.size()));
    EXPECT_EQ(snapshot.text, "FRONT APP: qt_widgets_fixture\n"
                             "WINDOW: Fixture Window\n"
                             "\n"
                             "INTERACTIVE ELEMENTS (15) \u2014 act on these by id with click/set_value:\n"
                             "  [1] menubaritem \"File\" actions=[open-menu]\n"
                             "  [2] menubaritem \"Edit\" actions=[open-menu]\n"
                             "  [3] menubaritem \"View\" actions=[open-menu]\n"
                             "  [4] button \"Save\" focused\n"
                             "  [5] button \"Cancel\"\n"
                             "  [6] button \"Disabled\" disabled\n"
                             "  [7] checkbox \"Dark mode\" value=\"0\"\n"
                             "  [8] checkbox \"Notifications\" value=\"0\"\n"
                             "  [9] textfield \"Name\"\n"
                             "  [10] slider \"Volume\" value=\"30\" actions=[increment,decrement]\n"
                             "  [11] row \"Apple\"\n"
                             "  [12] row \"Banana\"\n"
                             "  [13] row \"Cherry\"\n"
                             "  [14] row \"Damson\"\n"
                             "  [15] row \"Elderberry\"\n"
                             "\n"
                             "MENU BAR \u2014 invoke any item by path with invoke_menu, e.g. "
                             "invoke_menu([\"File\",\"New\"]). Highly reliable:\n"
                             "  File: New, Export\u2026, Quit\n"
                             "  Edit: Undo, Transform\n"
                             "  View: Dark mode");
}

TEST_F(QtFixtureTest, MenusReadWithShortcutsAndInvokeByPath)
{
    const auto menus = onThread([this] { return service.menus(std::string("QT_WIDGETS")); });
    ASSERT_TRUE(menus);
    ASSERT_EQ(menus->menus.size(), 3u);
    const MenuEntry& file = menus->menus[0];
    ASSERT_EQ(file.children.size(), 3u);
    EXPECT_EQ(file.children[0].shortcut, "cmd+n");
    EXPECT_EQ(file.children[1].shortcut, "cmd+shift+e");
    EXPECT_EQ(menus->menus[1].children[1].children.at(0).title, "Upper Case");

    const auto exported = onThread([this] { return service.invokeMenu(std::nullopt, {"file", "Export..."}); });
    ASSERT_TRUE(exported) << exported.error().description();
    EXPECT_TRUE(fixture.waitForOutput("menu File > Export\u2026"));
    const auto nested = onThread([this] { return service.invokeMenu(std::nullopt, {"Edit", "Transform", "upper"}); });
    ASSERT_TRUE(nested);
    EXPECT_TRUE(fixture.waitForOutput("menu Edit > Transform > Upper Case"));
}

// Lists longer than their windows: the quick walk stops at the rows
// scrolled out of view (Qt: not SHOWING; GTK: SHOWING at INT_MIN).
TEST_F(AtspiAccessibilityTest, LongListsMarkAsThePlainWalkOnBothToolkits)
{
    {
        test::ChildProcess fixture{QT_WIDGETS_FIXTURE, {"--rows", "300"}};
        ASSERT_TRUE(fixture.waitForOutput("ready"));
        const auto window = markWhen([](const WindowMarks& w) { return find(w, "AXRow", "Row 20") != nullptr; });
        ASSERT_TRUE(window && find(*window, "AXRow", "Row 20"));
        EXPECT_EQ(find(*window, "AXRow", "Row 300"), nullptr);
        const std::string plain = marksRead(false);
        EXPECT_EQ(marksRead(true), plain);
    }
    std::vector<std::string> args{"--list", "--height=600", "--column=Name"};
    for (int i = 1; i <= 300; ++i) args.push_back("Row " + std::to_string(i));
    test::ChildProcess zenity{"/usr/bin/zenity", args};
    const auto window = markWhen([](const WindowMarks& w) { return find(w, "AXCell", "Row 10") != nullptr; });
    ASSERT_TRUE(window && find(*window, "AXCell", "Row 10"));
    EXPECT_LT(window->marks.size(), 100u) << "the list should be longer than the window";
    const std::string plain = marksRead(false);
    EXPECT_EQ(marksRead(true), plain);
}

TEST_F(AtspiAccessibilityTest, GtkMousepadMarksAndMenus)
{
    test::ChildProcess mousepad{"/usr/bin/mousepad", {"--disable-server"}};
    const auto window = markWhen([](const WindowMarks& w) { return w.appName == "Mousepad" && w.marks.size() > 5; });
    ASSERT_TRUE(window && window->appName == "Mousepad");
    EXPECT_TRUE(find(*window, "AXTextArea", "") || std::any_of(window->marks.begin(), window->marks.end(), [](const auto& m) {
                    return m.role == "AXTextArea";
                }));
    // Closed menus' items report no frame: none is numbered.
    for (const auto& mark : window->marks) EXPECT_NE(mark.role, "AXMenuItem") << mark.label;
    const std::string plain = marksRead(false);
    EXPECT_EQ(marksRead(true), plain) << "the quick walk must not change the marks";

    const auto menus = onThread([this] { return service.menus(std::nullopt); });
    ASSERT_TRUE(menus);
    ASSERT_FALSE(menus->menus.empty());
    const MenuEntry& file = menus->menus[0];
    EXPECT_EQ(file.title, "File");
    const auto newItem = std::find_if(file.children.begin(), file.children.end(),
                                      [](const MenuEntry& e) { return e.shortcut == "cmd+n"; });
    EXPECT_NE(newItem, file.children.end());
}

} // namespace
} // namespace twk
