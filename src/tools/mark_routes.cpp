#include "tools/mark_routes.h"

#include "tools/result_json.h"

#include <algorithm>
#include <cstdint>

namespace twk {
namespace {

ToolResult answer(const Expected<std::string>& outcome)
{
    return ToolResult::textResult(outcome ? okJSON(outcome.value()) : errJSON(outcome.error().description()));
}

int markId(const ToolArgs& args)
{
    // Numbers beyond int name no mark either way.
    return static_cast<int>(std::clamp<int64_t>(intArg(args, "id").value_or(0), INT32_MIN, INT32_MAX));
}

Task<ToolResult> clickMark(MarkActions& marks, int id)
{
    co_await onWorker(marks.service().thread());
    co_return answer(marks.clickMark(id));
}

Task<ToolResult> fillMark(MarkActions& marks, int id, std::string value)
{
    co_await onWorker(marks.service().thread());
    co_return answer(marks.setMarkValue(id, value));
}

} // namespace

void addMarkRoutes(ToolRoutes& routes, MarkActions& marks)
{
    routes.add("click_mark", [&marks](const ToolArgs& args) { return clickMark(marks, markId(args)); });
    routes.add("fill_mark",
               [&marks](const ToolArgs& args) { return fillMark(marks, markId(args), strArg(args, "value")); });
}

} // namespace twk
