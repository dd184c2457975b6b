#include "accessibility/menu_reader.h"

#include "accessibility/ax_attributes.h"
#include "common/text_case.h"

#include <cmath>

namespace twk {
namespace {

constexpr std::size_t maxMenus = 20;
constexpr std::size_t maxItems = 50;
constexpr int maxChildDepth = 2;

std::string normalisedTitle(std::string_view text)
{
    std::string s = lowercased(text);
    for (const std::string_view dots : {std::string_view("\u2026"), std::string_view("...")}) {
        for (auto at = s.find(dots); at != std::string::npos; at = s.find(dots, at)) s.erase(at, dots.size());
    }
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string joined(const std::vector<std::string>& items, std::size_t count, const std::string& separator)
{
    std::string text;
    for (std::size_t i = 0; i < count && i < items.size(); ++i) {
        if (i > 0) text += separator;
        text += items[i];
    }
    return text;
}

bool hasRole(Accessibility& ax, const AXElementRef& element, std::string_view role)
{
    const auto value = stringAttr(ax, element, "AXRole");
    return value && *value == role;
}

} // namespace

nlohmann::ordered_json toJson(const MenuEntry& entry)
{
    nlohmann::ordered_json json;
    json["title"] = entry.title;
    if (entry.shortcut) json["shortcut"] = *entry.shortcut;
    json["children"] = nlohmann::ordered_json::array();
    for (const auto& child : entry.children) json["children"].push_back(toJson(child));
    return json;
}

std::optional<MenuEntry> menuEntryFromJson(const nlohmann::json& json)
{
    if (!json.is_object()) return std::nullopt;
    const auto title = json.find("title");
    const auto kids = json.find("children");
    if (title == json.end() || !title->is_string() || kids == json.end() || !kids->is_array()) return std::nullopt;
    MenuEntry entry{title->get<std::string>(), std::nullopt, {}};
    const auto shortcut = json.find("shortcut");
    if (shortcut != json.end() && shortcut->is_string()) entry.shortcut = shortcut->get<std::string>();
    for (const auto& child : *kids) {
        auto decoded = menuEntryFromJson(child);
        if (!decoded) return std::nullopt;
        entry.children.push_back(std::move(*decoded));
    }
    return entry;
}

std::optional<std::string> readShortcut(Accessibility& ax, const AXElementRef& item)
{
    const auto key = stringAttr(ax, item, "AXMenuItemCmdChar");
    if (!key || key->empty()) return std::nullopt;
    const auto bits = numberAttr(ax, item, "AXMenuItemCmdModifiers");
    const long modifiers = bits && std::isfinite(*bits) ? static_cast<long>(*bits) : 0;
    std::vector<std::string> pieces;
    if ((modifiers & 8) == 0) pieces.emplace_back("cmd");
    if (modifiers & 1) pieces.emplace_back("shift");
    if (modifiers & 2) pieces.emplace_back("alt");
    if (modifiers & 4) pieces.emplace_back("ctrl");
    pieces.push_back(lowercased(*key));
    return joined(pieces, pieces.size(), "+");
}

AXElementRef matchMenuChild(Accessibility& ax, const std::vector<AXElementRef>& children, const std::string& name)
{
    const std::string target = normalisedTitle(name);
    std::vector<std::string> titles;
    titles.reserve(children.size());
    for (const auto& child : children) titles.push_back(stringAttr(ax, child, "AXTitle").value_or(""));
    for (std::size_t i = 0; i < children.size(); ++i)
        if (normalisedTitle(titles[i]) == target) return children[i];
    if (target.empty()) return nullptr;
    for (std::size_t i = 0; i < children.size(); ++i)
        if (lowercased(titles[i]).find(target) != std::string::npos) return children[i];
    return nullptr;
}

std::optional<RunningApplication> MenuReader::findApp(const std::optional<std::string>& name)
{
    const auto apps = workspace_.runningApplications();
    if (!name || name->empty()) {
        const auto pid = ax_.frontmostApplicationPid(ownPid_);
        if (!pid) return std::nullopt;
        for (const auto& app : apps)
            if (app.pid == *pid) return app;
        return RunningApplication{*pid, "", std::nullopt, true};
    }
    const std::string q = lowercased(*name);
    for (const auto& app : apps)
        if (!app.applicationId.empty() && lowercased(app.applicationId) == q) return app;
    for (const auto& app : apps)
        if (app.localizedName && lowercased(*app.localizedName) == q) return app;
    for (const auto& app : apps)
        if (app.localizedName && lowercased(*app.localizedName).find(q) != std::string::npos) return app;
    return std::nullopt;
}

std::optional<MenuEntry> MenuReader::readEntry(const AXElementRef& element, int depth)
{
    MenuEntry entry{stringAttr(ax_, element, "AXTitle").value_or(""), std::nullopt, {}};
    if (depth == 0 && entry.title.empty()) return std::nullopt;
    entry.shortcut = readShortcut(ax_, element);
    if (depth <= maxChildDepth) {
        for (const auto& child : children(ax_, element)) {
            if (!hasRole(ax_, child, "AXMenu")) continue;
            auto items = children(ax_, child);
            if (items.size() > maxItems) items.resize(maxItems);
            for (const auto& item : items)
                if (auto read = readEntry(item, depth + 1)) entry.children.push_back(std::move(*read));
        }
    }
    if (depth == 0 || !entry.title.empty() || !entry.children.empty()) return entry;
    return std::nullopt;
}

std::optional<AppMenus> MenuReader::menus(const std::optional<std::string>& appName)
{
    const auto app = findApp(appName);
    if (!app) return std::nullopt;
    const auto root = ax_.applicationElement(app->pid);
    if (!root) return std::nullopt;
    const auto bar = elementAttr(ax_, root, "AXMenuBar");
    if (!bar) return std::nullopt;
    auto items = children(ax_, bar);
    const std::size_t first = ax_.menuBarStartsWithSystemMenu() && !items.empty() ? 1 : 0;
    AppMenus result;
    for (std::size_t i = first; i < items.size() && i < first + maxMenus; ++i)
        if (auto entry = readEntry(items[i], 0)) result.menus.push_back(std::move(*entry));
    if (app->localizedName) result.appName = *app->localizedName;
    else if (appName && !appName->empty()) result.appName = *appName;
    else result.appName = "?";
    return result;
}

Expected<std::string> MenuReader::invokeMenu(const std::optional<std::string>& appName,
                                             const std::vector<std::string>& path)
{
    if (path.empty()) return Error("twk.ax", 0, "empty path");
    const auto app = findApp(appName);
    if (!app)
        return Error("twk.ax", 404, "no app matching " + (appName && !appName->empty() ? *appName : "frontmost"));
    workspace_.activate(app->pid);
    pause_(seconds(0.08));
    const auto root = ax_.applicationElement(app->pid);
    AXElementRef current = root ? elementAttr(ax_, root, "AXMenuBar") : nullptr;
    if (!current) return Error("twk.ax", 1, "no menu bar");
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto item = matchMenuChild(ax_, children(ax_, current), path[i]);
        if (!item) {
            const std::string parent = i == 0 ? "(top)" : joined(path, i, " > ");
            return Error("twk.ax", 2, "no menu item '" + path[i] + "' under " + parent);
        }
        if (i + 1 == path.size()) {
            const int status = ax_.performAction(item, "AXPress");
            if (status != 0) return Error("twk.ax", status, "press failed");
            return "invoked " + joined(path, path.size(), " > ");
        }
        AXElementRef next = item;
        for (const auto& child : children(ax_, item)) {
            if (hasRole(ax_, child, "AXMenu")) {
                next = child;
                break;
            }
        }
        current = std::move(next);
    }
    return Error("twk.ax", 0, "empty path"); // not reached: the last item returns above
}

} // namespace twk
