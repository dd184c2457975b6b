#include "common/base64.h"
#include "fakes/dispatcher_parts.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "tools/tool_dispatcher.h"
#include "unit/accessibility/accessibility_fixture.h"

namespace twk {
namespace {

using test::axNode;

/// Hands out a fixed image, or nothing, and keeps the marks it was given.
class FakeCapturer : public ScreenCapturer {
public:
    std::optional<CapturedImage> image = CapturedImage{std::string("\x89PNG\r\n\x1a\n\0\xff", 10), 1280, 800};
    std::vector<MarkedElement> marks;
    std::optional<CapturedImage> captureScreenPNG() override { return image; }
    std::optional<CapturedImage> captureWithMarks(const std::vector<MarkedElement>& given) override
    {
        marks = given;
        return image;
    }
};

class InspectScreenRouteTest : public test::AccessibilityFixture {
protected:
    InspectScreenRouteTest()
    {
        window->add(axNode("AXButton", "Save", 40, 20, 100, 200));
        auto field = axNode("AXTextField", "Name", 120, 24, 10, 10);
        field->attributes["AXValue"] = std::string("Ada");
        window->add(field);
        window->add(axNode("AXTextField", "Note", 120, 24, 10, 40));
    }

    ToolResult run() { return test::runTask(loop, tools.run("inspect_screen", "{}")); }

    test::VirtualMainLoop loop;
    test::DispatcherParts parts{loop, workspace};
    FakeCapturer capturer;
    ToolDispatcher tools{[this] {
        auto services = parts.services();
        services.accessibility = &service;
        services.capturer = &capturer;
        return services;
    }()};
};

TEST_F(InspectScreenRouteTest, AnswersTheMarksWithTheBadgedScreenshot)
{
    const ToolResult result = run();

    ASSERT_EQ(result.kind, ToolResult::Kind::image);
    const auto text = nlohmann::json::parse(result.text);
    EXPECT_EQ(text["ok"], true);
    EXPECT_EQ(text["app"], "Editor");
    EXPECT_EQ(text["window"], "Untitled");
    ASSERT_EQ(text["marks"].size(), 3u);
    EXPECT_EQ(text["marks"][0], (nlohmann::json{{"id", 1}, {"role", "AXButton"}, {"label", "Save"}}));
    EXPECT_EQ(text["marks"][1]["value"], "Ada");
    EXPECT_FALSE(text["marks"][2].contains("value")) << "an empty value is left out";
    EXPECT_TRUE(text["message"].get<std::string>().find("click_mark(id)") != std::string::npos);
    // The screenshot badges exactly the marks the list names, and travels intact.
    ASSERT_EQ(capturer.marks.size(), 3u);
    EXPECT_EQ(capturer.marks[1].id, 2);
    EXPECT_EQ(capturer.marks[1].x, 10);
    const auto png = base64Decode(result.base64PNG);
    ASSERT_TRUE(png);
    EXPECT_EQ(std::string(png->begin(), png->end()), capturer.image->png);
    EXPECT_EQ(result.base64PNG.find('\n'), std::string::npos);
}

TEST_F(InspectScreenRouteTest, FailuresAnswerInWords)
{
    capturer.image.reset();
    EXPECT_EQ(run(), ToolResult::textResult(R"({"ok":false,"error":"screenshot failed"})"));
    app->attributes.erase("AXFocusedWindow");
    EXPECT_EQ(run(), ToolResult::textResult(R"({"ok":false,"error":"no focused window"})"));
}

} // namespace
} // namespace twk
