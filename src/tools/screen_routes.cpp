#include "tools/screen_routes.h"

#include "common/base64.h"
#include "tools/result_json.h"

namespace twk {
namespace {

constexpr const char* inspectHint =
    "Screenshot attached; each interactive element has a yellow numbered badge. Identify the right one by label "
    "(from the list) or by sight (from the badge positions on the image), then call click_mark(id) or "
    "fill_mark(id, value). Coordinates are not needed \u2014 we click via Accessibility.";

std::string inspectionText(const WindowMarks& window)
{
    nlohmann::ordered_json reply;
    reply["ok"] = true;
    reply["app"] = window.appName;
    reply["window"] = window.windowTitle;
    auto& marks = reply["marks"] = nlohmann::ordered_json::array();
    for (const auto& mark : window.marks) {
        nlohmann::ordered_json entry{{"id", mark.id}, {"role", mark.role}, {"label", mark.label}};
        if (mark.value && !mark.value->empty()) entry["value"] = *mark.value;
        marks.push_back(std::move(entry));
    }
    reply["message"] = inspectHint;
    return compactJSON(reply, "{}");
}

Task<ToolResult> inspectScreen(AccessibilityService& accessibility, ScreenCapturer& capturer)
{
    // The marks and the screenshot are taken together, on the thread that
    // owns the marks, so the badges number what click_mark will act on.
    co_await onWorker(accessibility.thread());
    const auto window = accessibility.markFocusedWindow(inspectScreenMarkLimit);
    if (!window) co_return ToolResult::textResult(errJSON("no focused window"));
    const auto image = capturer.captureWithMarks(window->marks);
    if (!image) co_return ToolResult::textResult(errJSON("screenshot failed"));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image->png.data());
    co_return ToolResult::imageResult(inspectionText(*window), base64Encode({bytes, image->png.size()}));
}

} // namespace

void addScreenRoutes(ToolRoutes& routes, AccessibilityService& accessibility, ScreenCapturer& capturer)
{
    routes.add("inspect_screen",
               [&accessibility, &capturer](const ToolArgs&) { return inspectScreen(accessibility, capturer); });
}

} // namespace twk
