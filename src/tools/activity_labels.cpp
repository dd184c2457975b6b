#include "tools/activity_labels.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_map>

namespace twk {
namespace {

using Label = std::function<std::string(const ToolArgs&)>;

/// "Opening " + the "key" argument, and the like.
Label prefixed(std::string prefix, std::string key, std::string suffix = "")
{
    return [prefix = std::move(prefix), key = std::move(key), suffix = std::move(suffix)](const ToolArgs& a) {
        return prefix + strArg(a, key) + suffix;
    };
}

Label fixed(std::string text)
{
    return [text = std::move(text)](const ToolArgs&) { return text; };
}

/// A switch argument that reads as on unless it says otherwise.
Label onOff(std::string key, std::string on, std::string off)
{
    return [key = std::move(key), on = std::move(on), off = std::move(off)](const ToolArgs& a) {
        return boolArg(a, key).value_or(true) ? on : off;
    };
}

std::string volumeLabel(const ToolArgs& a)
{
    // A value no integer can hold (a string "nan", 1e300) shows as 0.
    const double percent = doubleArg(a, "percent").value_or(0);
    const bool usable = std::isfinite(percent) && std::abs(percent) < 0x1p63;
    return "Setting volume to " + std::to_string(usable ? static_cast<int64_t>(percent) : 0) + "%";
}

std::string menusLabel(const ToolArgs& a)
{
    const auto app = optStrArg(a, "app");
    return app ? "Reading " + *app + " menus" : "Reading the menus";
}

std::string menuPathLabel(const ToolArgs& a)
{
    std::string label = "Menu: ";
    const auto path = stringListArg(a, "path");
    for (size_t i = 0; i < path.size(); ++i) label += (i == 0 ? "" : " \u203A ") + path[i];
    return label;
}

const std::unordered_map<std::string, Label>& labels()
{
    static const std::unordered_map<std::string, Label> table{
        {"open_app", prefixed("Opening ", "name")},
        {"quit_app", prefixed("Quitting ", "name")},
        {"list_apps", fixed("Listing open apps")},
        {"play_pause_media", fixed("Play / pause")},
        {"next_track", fixed("Next track")},
        {"previous_track", fixed("Previous track")},
        {"play_on_apple_music", prefixed("Playing ", "query")},
        {"play_on_spotify", prefixed("Opening ", "query", " on Spotify")},
        {"set_volume", volumeLabel},
        {"set_dark_mode", onOff("on", "Dark mode on", "Light mode on")},
        {"set_wifi", onOff("on", "Turning Wi-Fi on", "Turning Wi-Fi off")},
        {"open_url", prefixed("Opening ", "url")},
        {"search_web", prefixed("Searching the web for ", "query")},
        {"spotlight_search", prefixed("Searching for ", "query")},
        {"send_imessage", prefixed("Messaging ", "recipient")},
        {"message_in_app",
         [](const ToolArgs& a) { return "Messaging " + strArg(a, "person") + " on " + strArg(a, "app"); }},
        {"compose_email", prefixed("Composing email to ", "to")},
        {"add_reminder", fixed("Adding reminder")},
        {"add_calendar_event", fixed("Adding calendar event")},
        {"run_shortcut", prefixed("Running shortcut ", "name")},
        {"web_command", prefixed("Web: ", "task")},
        {"web_navigate", prefixed("Navigating to ", "url")},
        {"inspect_screen", fixed("Looking at the screen")},
        {"click_mark",
         [](const ToolArgs& a) { return "Clicking element " + std::to_string(intArg(a, "id").value_or(0)); }},
        {"fill_mark", fixed("Typing into a field")},
        {"list_menus", menusLabel},
        {"invoke_menu", menuPathLabel},
        {"press_key", prefixed("Pressing ", "combo")},
        {"type_text", fixed("Typing")},
        {"scroll", fixed("Scrolling")},
        {"do_task", prefixed("", "description")},
        {"set_plan", fixed("Planning\u2026")},
        {"complete_step", fixed("")},
        {"stop", fixed("Stopping")},
    };
    return table;
}

} // namespace

std::string activityLabel(const std::string& name, const ToolArgs& args)
{
    const auto& table = labels();
    if (const auto it = table.find(name); it != table.end()) return it->second(args);
    std::string words = name;
    std::replace(words.begin(), words.end(), '_', ' ');
    return words;
}

} // namespace twk
