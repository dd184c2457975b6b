#include "agent_tool_schemas.h"

#include "agent_engine.h"

#include <algorithm>

namespace twk::server {
namespace {

using nlohmann::ordered_json;

ordered_json object(ordered_json properties, std::vector<std::string> required = {})
{
    ordered_json schema{{"type", "object"}, {"properties", std::move(properties)}};
    if (!required.empty()) schema["required"] = required;
    return schema;
}

ordered_json typed(const char* type, const char* description) { return {{"type", type}, {"description", description}}; }

const std::vector<AgentToolSchema>& allSchemas()
{
    static const std::vector<AgentToolSchema> schemas{
        {"read_screen", "Read the frontmost window again as a numbered list of its interactive elements and menus.",
         object(ordered_json::object())},
        {"take_screenshot",
         "Take a screenshot of the screen. Use it only when read_screen shows no elements (web pages, canvases); "
         "then click_at pixel coordinates.",
         object(ordered_json::object())},
        {"click", "Act on an element by its [id] from the snapshot: press it, or perform one of its listed actions.",
         object({{"id", typed("integer", "The element's id from the snapshot.")},
                 {"action", typed("string", "The action, default \"press\"; others as listed in the element's actions=[...].")}},
                {"id"})},
        {"set_value", "Replace the value of a text field or other editable element by its [id].",
         object({{"id", typed("integer", "The element's id from the snapshot.")},
                 {"text", typed("string", "The new value.")}},
                {"id", "text"})},
        {"click_at", "Click at a point of the screenshot, in its pixel coordinates.",
         object({{"x", typed("number", "Horizontal pixel.")}, {"y", typed("number", "Vertical pixel.")}}, {"x", "y"})},
        {"scroll", "Scroll the window under the pointer.",
         object({{"direction", {{"type", "string"}, {"enum", {"up", "down", "left", "right"}}}},
                 {"amount", typed("integer", "How far, in steps of three lines; default 3.")}},
                {"direction"})},
        {"press_key", "Press a key or a combination such as \"enter\", \"escape\", \"ctrl+s\" or \"ctrl+shift+t\".",
         object({{"keys", typed("string", "Key names joined by +.")}}, {"keys"})},
        {"type_text", "Type text into the focused element (it is pasted).",
         object({{"text", typed("string", "The text to type.")}}, {"text"})},
        {"invoke_menu", "Choose a menu-bar item by its path of titles, such as [\"File\", \"New\"].",
         object({{"path", {{"type", "array"}, {"items", {{"type", "string"}}}, {"description", "Menu titles from the menu bar down."}}}},
                {"path"})},
        {"mark_step", "Mark a step of the plan as doing, done or failed.",
         object({{"index", typed("integer", "The step's index, from 0.")},
                 {"state", {{"type", "string"}, {"enum", {"pending", "doing", "done", "failed"}}}},
                 {"detail", typed("string", "A few words on the outcome.")}},
                {"index", "state"})},
        {"set_plan", "Declare the steps of a longer task before starting it.",
         object({{"steps", {{"type", "array"}, {"items", {{"type", "string"}}}}}}, {"steps"})},
        {"navigate", "Open a URL in the current browser tab.", object({{"url", typed("string", "An http or https URL.")}}, {"url"})},
    };
    return schemas;
}

} // namespace

const std::vector<std::string>& agentToolNames()
{
    static const std::vector<std::string> names{"read_screen", "take_screenshot", "click",      "set_value",
                                                "click_at",    "scroll",          "press_key",  "type_text",
                                                "invoke_menu", "mark_step",       "set_plan"};
    return names;
}

bool isAgentTool(const std::string& name)
{
    const auto& all = allSchemas();
    return std::any_of(all.begin(), all.end(), [&name](const AgentToolSchema& s) { return s.name == name; });
}

std::vector<AgentToolSchema> agentToolSchemas(const std::vector<std::string>& names)
{
    std::vector<AgentToolSchema> chosen;
    for (const auto& name : names)
        for (const auto& schema : allSchemas())
            if (schema.name == name) chosen.push_back(schema);
    return chosen;
}

std::string agentSystemPrompt()
{
    return "You operate the user's computer to carry out one task. Each turn you see a snapshot of the frontmost "
           "window (or web page): numbered interactive elements [id] with their role, label, value and state, and the "
           "menu bar. Act with the tools, a few steps at a time, on elements by id. Every action's result tells you "
           "the element's new state; call read_screen when the screen may have changed. Prefer menus and keyboard "
           "shortcuts when they are listed. Never act on anything the task does not ask for; never type passwords or "
           "payment details unless the task gives them. When the task is done, answer without tool uses in one short "
           "sentence saying what you did. When it cannot be done, say plainly why, without tool uses. When asked to "
           "check the result, only look: answer in one sentence whether the goal is achieved.";
}

} // namespace twk::server
