#include "agent/action_signature.h"

#include "accessibility/character_prefix.h"
#include "agent/tool_input.h"

namespace twk::agent {

std::optional<std::string> actionSignature(const AgentToolUse& use)
{
    const std::string& name = use.name;
    if (name == "read_screen" || name == "take_screenshot" || name == "set_plan" || name == "mark_step")
        return std::nullopt;
    const ToolArgs input = parseToolArgs(use.inputJSON);
    if (name == "click")
        return "click:" + printed(input, "id").value_or("?") + ":" + printed(input, "action").value_or("press");
    if (name == "set_value") return "set:" + printed(input, "id").value_or("?");
    if (name == "invoke_menu") {
        std::string path;
        for (const auto& item : stringList(input, "path")) path += (path.empty() ? "" : "/") + item;
        return "menu:" + path;
    }
    if (name == "press_key") return "key:" + printed(input, "keys").value_or(printed(input, "text").value_or(""));
    if (name == "type_text") return "type:" + characterPrefix(strArg(input, "text"), 20);
    if (name == "click_at")
        return "clickat:" + printed(input, "x").value_or("?") + "," + printed(input, "y").value_or("?");
    return name;
}

} // namespace twk::agent
