#include "tools/input_routes.h"

#include "tools/result_json.h"

namespace twk {
namespace {

ToolResult answer(const Expected<std::string>& outcome)
{
    return ToolResult::textResult(outcome ? okJSON(outcome.value()) : errJSON(outcome.error().description()));
}

Task<ToolResult> pressKey(InputSynthesis& input, std::string combination, std::optional<std::string> app)
{
    auto press = input.pressKey(std::move(combination), std::move(app));
    co_return answer(co_await std::move(press));
}

Task<ToolResult> paste(InputSynthesis& input, std::string text)
{
    auto pasting = input.pasteText(std::move(text));
    co_return answer(co_await std::move(pasting));
}

Task<ToolResult> scroll(InputSynthesis& input, int64_t deltaY, int64_t deltaX)
{
    co_return answer(input.scroll(deltaY, deltaX));
}

} // namespace

void addInputRoutes(ToolRoutes& routes, InputSynthesis& input)
{
    routes.add("press_key", [&input](const ToolArgs& args) {
        return pressKey(input, strArg(args, "combo"), optStrArg(args, "app"));
    });
    routes.add("type_text", [&input](const ToolArgs& args) { return paste(input, strArg(args, "text")); });
    routes.add("scroll", [&input](const ToolArgs& args) {
        return scroll(input, intArg(args, "deltaY").value_or(0), intArg(args, "deltaX").value_or(0));
    });
}

} // namespace twk
