#include "accessibility/marked_element.h"

namespace twk {

nlohmann::ordered_json toJson(const MarkedElement& mark)
{
    nlohmann::ordered_json json;
    json["id"] = mark.id;
    json["role"] = mark.role;
    json["label"] = mark.label;
    if (mark.value) json["value"] = *mark.value;
    json["x"] = mark.x;
    json["y"] = mark.y;
    json["width"] = mark.width;
    json["height"] = mark.height;
    if (mark.enabled) json["enabled"] = *mark.enabled;
    if (mark.selected) json["selected"] = *mark.selected;
    if (mark.focused) json["focused"] = *mark.focused;
    if (mark.actions) json["actions"] = *mark.actions;
    return json;
}

std::optional<MarkedElement> markedElementFromJson(const nlohmann::json& json)
{
    if (!json.is_object()) return std::nullopt;
    const auto integer = [&](const char* key) -> std::optional<int> {
        const auto it = json.find(key);
        if (it == json.end() || !it->is_number_integer()) return std::nullopt;
        return it->get<int>();
    };
    const auto text = [&](const char* key) -> std::optional<std::string> {
        const auto it = json.find(key);
        if (it == json.end() || !it->is_string()) return std::nullopt;
        return it->get<std::string>();
    };
    const auto flag = [&](const char* key) -> std::optional<bool> {
        const auto it = json.find(key);
        if (it == json.end() || !it->is_boolean()) return std::nullopt;
        return it->get<bool>();
    };
    const auto id = integer("id");
    const auto role = text("role");
    const auto label = text("label");
    const auto x = integer("x");
    const auto y = integer("y");
    const auto width = integer("width");
    const auto height = integer("height");
    if (!id || !role || !label || !x || !y || !width || !height) return std::nullopt;
    MarkedElement mark{*id, *role, *label, text("value"), *x, *y, *width, *height,
                       flag("enabled"), flag("selected"), flag("focused"), std::nullopt};
    const auto actions = json.find("actions");
    if (actions != json.end() && actions->is_array()) {
        std::vector<std::string> verbs;
        for (const auto& verb : *actions)
            if (verb.is_string()) verbs.push_back(verb.get<std::string>());
        mark.actions = std::move(verbs);
    }
    return mark;
}

} // namespace twk
