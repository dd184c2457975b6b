// The agent model's tool uses, performed on the desktop.

#include "accessibility/character_prefix.h"
#include "agent/agent_executor.h"
#include "agent/agent_text.h"
#include "agent/tool_input.h"
#include "common/base64.h"
#include "common/log.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace twk {
namespace {

AgentToolResult ok(std::string id, std::string text) { return {std::move(id), std::move(text), std::nullopt, false}; }

AgentToolResult err(std::string id, const std::string& message)
{
    logLine("[twk/agent] tool error: " + message);
    return {std::move(id), message, std::nullopt, true};
}

AgentToolResult outcome(std::string id, const Expected<std::string>& done)
{
    return done ? ok(std::move(id), done.value()) : err(std::move(id), done.error().description());
}

/// A coordinate as the activity line shows it: truncated, 0 when unusable.
std::string wholeText(double v)
{
    if (!std::isfinite(v)) return "0";
    return std::to_string(static_cast<long long>(std::clamp(v, -9.0e18, 9.0e18)));
}

std::string quoted40(const std::string& text) { return "\u201C" + characterPrefix(text, 40) + "\u201D"; }

} // namespace

std::string AgentExecutor::target(int id, const std::string& fallback) const
{
    const auto it = lastMarks.find(id);
    return it == lastMarks.end() ? fallback + " " + std::to_string(id) : agent::describeMark(it->second);
}

Task<std::string> AgentExecutor::hintFor(int id)
{
    co_await onWorker(s_.accessibility.thread());
    const auto now = s_.marks.readMarkState(id);
    co_await onMain(s_.loop);
    co_return agent::verifyHint(id, now);
}

Task<AgentToolResult> AgentExecutor::clickTool(std::string id, ToolArgs input)
{
    const int mark = agent::integerInput(input, "id");
    const std::string action = input.contains("action") && input["action"].is_string() ? strArg(input, "action") : "press";
    const std::string what = target(mark, "element");
    s_.state.setActivity(action == "press" ? "Clicking " + what : action + " on " + what);
    co_await onWorker(s_.accessibility.thread());
    const auto done = action == "press" ? s_.marks.clickMark(mark) : s_.marks.performMarkAction(mark, action);
    co_await onMain(s_.loop);
    if (!done) co_return err(std::move(id), done.error().description());
    auto hinting = hintFor(mark);
    const std::string hint = co_await std::move(hinting);
    co_return ok(std::move(id), done.value() + "\n" + hint);
}

Task<AgentToolResult> AgentExecutor::setValueTool(std::string id, ToolArgs input)
{
    const int mark = agent::integerInput(input, "id");
    const std::string text = strArg(input, "text");
    s_.state.setActivity("Setting " + target(mark, "field") + " to " + quoted40(text));
    co_await onWorker(s_.accessibility.thread());
    const auto done = s_.marks.setMarkValue(mark, text);
    co_await onMain(s_.loop);
    if (!done) co_return err(std::move(id), done.error().description());
    auto hinting = hintFor(mark);
    const std::string hint = co_await std::move(hinting);
    co_return ok(std::move(id), done.value() + "\n" + hint);
}

Task<AgentToolResult> AgentExecutor::menuTool(std::string id, ToolArgs input)
{
    const auto path = agent::stringList(input, "path");
    std::string shown;
    for (const auto& item : path) shown += (shown.empty() ? "" : " \u203A ") + item;
    s_.state.setActivity("Menu: " + shown);
    co_await onWorker(s_.accessibility.thread());
    const auto done = s_.accessibility.invokeMenu(std::nullopt, path);
    co_await onMain(s_.loop);
    co_return outcome(std::move(id), done);
}

AgentToolResult AgentExecutor::screenshotTool(std::string id)
{
    s_.state.setActivity("Looking at the screen");
    const auto image = s_.capturer != nullptr ? s_.capturer->captureScreenPNG() : std::nullopt;
    if (!image) return err(std::move(id), "screen capture failed");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image->png.data());
    AgentToolResult result = ok(std::move(id), "Screenshot of the current screen (" + std::to_string(image->width) +
                                                   "\u00D7" + std::to_string(image->height) +
                                                   "). The accessibility tree didn't expose this content (likely a "
                                                   "web page or canvas). Read your target's pixel coordinates and "
                                                   "use click_at.");
    result.image = AgentImage{base64Encode(std::span(bytes, image->png.size())), "image/png"};
    return result;
}

AgentToolResult AgentExecutor::markStepTool(std::string id, const ToolArgs& input)
{
    const int index = agent::integerInput(input, "index");
    const std::string stateText = input.contains("state") && input["state"].is_string() ? strArg(input, "state") : "doing";
    const std::string detail = strArg(input, "detail");
    const StepState state = stepStateFromRaw(stateText).value_or(StepState::doing);
    s_.state.markStep(index, state, detail);
    const std::string number = std::to_string(static_cast<long long>(index) + 1);
    if (state == StepState::done) s_.state.setActivity(detail.empty() ? "Confirmed step " + number : "Confirmed: " + detail);
    if (state == StepState::failed) s_.state.setActivity(detail.empty() ? "Step " + number + " failed" : "Failed: " + detail);
    logLine("[twk/agent] mark_step " + std::to_string(index) + " -> " + stateText + " " + detail);
    return ok(std::move(id), "step " + std::to_string(index) + " marked " + stateText);
}

AgentToolResult AgentExecutor::doScroll(std::string id, const ToolArgs& input)
{
    const std::string direction =
        optStrArg(input, "direction").value_or(optStrArg(input, "scroll_direction").value_or("down"));
    const bool given = input.contains("amount") || input.contains("scroll_amount");
    const int amount = std::max(1, agent::integerInput(input, input.contains("amount") ? "amount" : "scroll_amount"));
    const int64_t lines = static_cast<int64_t>(given ? amount : 3) * 3;
    s_.state.setActivity("Scrolling " + direction);
    int64_t deltaY = lines;
    int64_t deltaX = 0;
    if (direction == "up") deltaY = -lines;
    if (direction == "right" || direction == "left") {
        deltaY = 0;
        deltaX = direction == "right" ? lines : -lines;
    }
    return outcome(std::move(id), s_.input.scroll(deltaY, deltaX));
}

Task<AgentToolResult> AgentExecutor::execute(AgentToolUse use)
{
    co_await onMain(s_.loop);
    const ToolArgs input = parseToolArgs(use.inputJSON);
    const std::string& name = use.name;
    std::string id = std::move(use.id);
    if (name == "read_screen") {
        s_.state.setActivity("Reading the screen");
        auto taking = freshSnapshotText();
        co_return ok(std::move(id), co_await std::move(taking));
    }
    if (name == "take_screenshot") co_return screenshotTool(std::move(id));
    if (name == "click") {
        auto clicking = clickTool(std::move(id), input);
        co_return co_await std::move(clicking);
    }
    if (name == "set_value") {
        auto setting = setValueTool(std::move(id), input);
        co_return co_await std::move(setting);
    }
    if (name == "click_at") {
        const double x = agent::num(input, "x").value_or(0);
        const double y = agent::num(input, "y").value_or(0);
        s_.state.setActivity("Clicking at (" + wholeText(x) + ", " + wholeText(y) + ")");
        co_return outcome(std::move(id), s_.input.clickAt(x, y, ClickKind::left));
    }
    if (name == "scroll") co_return doScroll(std::move(id), input);
    if (name == "press_key") {
        const auto keys = optStrArg(input, "keys").value_or(strArg(input, "text"));
        s_.state.setActivity("Pressing " + agent::prettyKeys(keys));
        auto pressing = s_.input.pressKey(agent::normalizeKey(keys), std::nullopt);
        const auto done = co_await std::move(pressing);
        co_await onMain(s_.loop);
        co_return outcome(std::move(id), done);
    }
    if (name == "type_text") {
        const std::string text = strArg(input, "text");
        s_.state.setActivity("Typing " + quoted40(text));
        auto pasting = s_.input.pasteText(text);
        const auto done = co_await std::move(pasting);
        co_await onMain(s_.loop);
        co_return outcome(std::move(id), done);
    }
    if (name == "invoke_menu") {
        auto invoking = menuTool(std::move(id), input);
        co_return co_await std::move(invoking);
    }
    if (name == "mark_step") co_return markStepTool(std::move(id), input);
    if (name == "set_plan") {
        const auto steps = agent::stringList(input, "steps");
        const std::string count = std::to_string(steps.size());
        s_.state.setPlan(steps);
        s_.state.setActivity("Planning " + count + " steps");
        logLine("[twk/agent] set_plan: " + count + " steps");
        co_return ok(std::move(id), "plan set with " + count + " steps");
    }
    co_return err(std::move(id), "unsupported tool: " + name);
}

} // namespace twk
