#include "tools/tool_catalogue.h"

#include <string>
#include <vector>

namespace twk {
namespace {

using nlohmann::json;

struct Param {
    const char* name;
    const char* type;
    bool required;
    const char* description = nullptr; // none: the parameter has only a type
};

json tool(const char* name, const char* description, const std::vector<Param>& params = {})
{
    json properties = json::object();
    json required = json::array();
    for (const auto& p : params) {
        json property = {{"type", p.type}};
        if (p.description != nullptr) property["description"] = p.description;
        if (std::string_view(p.type) == "array") property["items"] = {{"type", "string"}};
        properties[p.name] = std::move(property);
        if (p.required) required.push_back(p.name);
    }
    return {{"type", "function"},
            {"name", name},
            {"description", description},
            {"parameters", {{"type", "object"}, {"properties", properties}, {"required", required}}}};
}

constexpr const char* musicQuery = "Artist name, song title, or album.";

json buildCatalogue()
{
    json tools = json::array();
    tools.push_back(tool("open_app",
                         "Open or focus a desktop app by name (e.g. 'Slack', 'Firefox') or desktop id (e.g. "
                         "'firefox-esr.desktop' or 'firefox.desktop'). Use for any 'open / launch / switch to / focus on "
                         "/ bring up X' command.",
                         {{"name", "string", true}}));
    tools.push_back(tool("quit_app", "Quit a running desktop app cleanly. Use for 'close / quit / shut / exit X'.",
                         {{"name", "string", true}}));
    tools.push_back(tool("list_apps", "List currently running non-background apps with their desktop ids. Use when the "
                                      "user asks 'what apps are open?'."));
    tools.push_back(tool("play_pause_media",
                         "Toggle play/pause on the currently-active media player (a music player, Spotify, YouTube, "
                         "podcasts — anything that listens to the desktop's media keys). Use for 'play / pause / "
                         "resume / stop the music'."));
    tools.push_back(tool("next_track", "Skip to the next track in the active media app. Use for 'next / skip / next song'."));
    tools.push_back(tool("previous_track", "Go to the previous track. Use for 'previous / back / last song'."));
    tools.push_back(tool("play_on_apple_music",
                         "Play an artist / song / album from the user's music folder: the first audio file there that "
                         "matches the query starts in the desktop's default player. Use this when the user says 'play "
                         "X' / 'put on some X' and no specific service was named. If nothing in the music folder matches, "
                         "this opens the music service's web search instead, where the user clicks play.",
                         {{"query", "string", true, musicQuery}}));
    tools.push_back(tool("play_on_spotify",
                         "Open Spotify and navigate to search results for a query. Use when the user explicitly says "
                         "'on Spotify'. NOTE: Spotify's automation API doesn't support search, so this cannot auto-play "
                         "— the user lands on the search results page and clicks play themselves. Warn them of that "
                         "briefly if they expect it to just play.",
                         {{"query", "string", true, musicQuery}}));
    tools.push_back(tool("set_volume", "Set the system output volume to a percentage (0–100).",
                         {{"percent", "number", true, "0 = mute, 100 = max"}}));
    tools.push_back(tool("set_wifi",
                         "Turn Wi-Fi on or off. Done through NetworkManager — no Settings window, no clicking, instant. "
                         "ALWAYS use this for 'turn off/on wifi' instead of navigating Settings.",
                         {{"on", "boolean", true, "true = on, false = off"}}));
    tools.push_back(tool("set_dark_mode", "Switch the desktop's color scheme to dark or light mode.",
                         {{"on", "boolean", true, "true = dark mode, false = light mode"}}));
    tools.push_back(tool("open_url",
                         "Open a URL in the user's default browser. Use for 'go to X', 'open the X page'. The url can be "
                         "bare (we'll add https://) or full.",
                         {{"url", "string", true}}));
    tools.push_back(tool("search_web",
                         "Open a Google search for the given query in the default browser. Use for 'search for X', "
                         "'google X', 'look up X'.",
                         {{"query", "string", true}}));
    tools.push_back(tool("spotlight_search",
                         "Open the desktop's launcher search and type a query. Use for 'find file X', 'search for note "
                         "about Y', 'where is the document on Z' — the launcher's search finds files, apps and settings.",
                         {{"query", "string", true}}));
    tools.push_back(tool("send_imessage",
                         "Send a text message (SMS) through the user's phone paired with KDE Connect. Use for "
                         "'message / text X saying Y' when no chat app is named. Recipient is a phone number or a "
                         "name from the phone's contacts.",
                         {{"recipient", "string", true}, {"text", "string", true}}));
    tools.push_back(tool("message_in_app",
                         "Send a chat message to a person inside an app that has a Ctrl+K quick-switcher — Slack, "
                         "Discord, Telegram, Microsoft Teams, Linear. This runs a FIXED, reliable procedure: focus the "
                         "app, open the switcher, search the person, open their conversation, VERIFY it's really them, "
                         "then type + send. It refuses to send if it can't confirm the recipient. ALWAYS use this for "
                         "'message/DM/text <person> on Slack/Discord/Teams/Telegram' — do not try to click around "
                         "yourself.",
                         {{"app", "string", true, "Slack, Discord, Telegram, Teams, Linear, etc."},
                          {"person", "string", true, "Recipient name to search for."},
                          {"text", "string", true, "Message body."}}));
    tools.push_back(tool("compose_email",
                         "Open a new email draft in the default mail client (Thunderbird / Evolution / Geary) pre-filled "
                         "with recipient, subject, body. The user still has to click Send manually. Use for 'email X "
                         "about Y'.",
                         {{"to", "string", true}, {"subject", "string", false}, {"body", "string", false}}));
    tools.push_back(tool("add_reminder",
                         "Add a reminder to the user's task list. Use for 'remind me to X', 'add a reminder to Y'.",
                         {{"text", "string", true},
                          {"when", "string", false,
                           "Optional natural-language due date, e.g. 'tomorrow 3pm', 'Friday', 'Mar 5 5pm'. Omit if no "
                           "time was specified."}}));
    tools.push_back(tool("add_calendar_event",
                         "Add an event to the user's default calendar. Use for 'schedule X', 'put a meeting on my "
                         "calendar', 'block off Y'.",
                         {{"title", "string", true},
                          {"start", "string", true, "Natural-language start, e.g. 'tomorrow 3pm', 'Friday at 10am'."},
                          {"durationMinutes", "integer", false, "Defaults to 60 if omitted."}}));
    tools.push_back(tool("run_shortcut",
                         "Run one of the user's own automations (a shortcut they saved) by name. Use when the user "
                         "references their own pre-built shortcuts by name.",
                         {{"name", "string", true}, {"input", "string", false, "Optional text input to the shortcut."}}));
    tools.push_back(tool("press_key",
                         "Send a keyboard shortcut. Examples: 'ctrl+t', 'ctrl+shift+a', 'enter', 'escape', 'down', "
                         "'ctrl+2'; 'cmd' is accepted too and acts as Ctrl. ALWAYS pass `app` when the shortcut is meant "
                         "for a specific app — we'll activate that app and block until it's actually frontmost before "
                         "posting the key. Without `app`, the key goes to whatever happens to be focused, which is often "
                         "wrong right after open_app.",
                         {{"combo", "string", true},
                          {"app", "string", false,
                           "Optional app name or desktop id to activate + wait on before sending the key. Use this for "
                           "any app-specific shortcut."}}));
    tools.push_back(tool("web_command",
                         "Run a web task by forwarding it to the tarnwick extension in Chrome / Chromium. The extension "
                         "has DOM-level access — it can read page content, fill forms, click buttons by selector — so "
                         "it's the BEST way to do any task on a web page (Gmail, Twitter, Spotify Web, YouTube, "
                         "Wikipedia, calendars, web search, etc). Pass a plain-English description of the task; the "
                         "extension's own agent decides the steps. ALWAYS prefer this over do_task / menu navigation for "
                         "anything that happens in a browser. Returns the extension's status message.",
                         {{"task", "string", true,
                           "Plain-English task to perform on the current (or about-to-be-opened) browser page. "
                           "Examples: 'play foo fighters on spotify', 'search YouTube for guitar tutorials', 'open the "
                           "latest email from Orlen in Gmail'."},
                          {"url", "string", false,
                           "Optional URL to navigate to first before performing the task. Use for cases where you know "
                           "the right starting page (e.g. https://open.spotify.com for Spotify tasks)."}}));
    tools.push_back(tool("web_navigate",
                         "Just navigate the browser's current tab to a URL via the extension (no DOM action). Use when "
                         "the user wants to go somewhere specific and doesn't need anything else done on the page.",
                         {{"url", "string", true}}));
    tools.push_back(tool("do_task",
                         "Perform ANY task that involves interacting with an app's interface — clicking buttons, "
                         "selecting options, navigating menus, filling forms, toggling settings, picking items from a "
                         "list, changing a setting, anything you'd do with a mouse and keyboard inside an app. Hand it "
                         "to the computer-use agent, which sees the screen and drives it directly (clicks the exact "
                         "elements, types, verifies). Give a concrete, complete instruction including the app and the "
                         "desired end state. This is your tool for everything not covered by a dedicated tool above. "
                         "Prefer the dedicated tools (open_app, set_wifi, message_in_app, play_*, etc.) when one fits — "
                         "they're instant; do_task is for genuine UI interaction.",
                         {{"description", "string", true, "Concrete instruction, e.g. 'Open Slack and DM Orlen hi'."}}));
    tools.push_back(tool("set_plan",
                         "FIRST STEP for any task that takes more than one action. Declare the short list of steps you "
                         "intend to take. They appear as a live checklist on the user's screen. Keep each step to a few "
                         "words, user-facing (e.g. 'Open Slack', 'Find Orlen's DM', 'Send the message'). Call this "
                         "before you start acting; then call complete_step after finishing each one.",
                         {{"steps", "array", true, "Ordered list of short step descriptions."}}));
    tools.push_back(tool("complete_step",
                         "Mark the current plan step as done and advance the on-screen checklist to the next one. Call "
                         "this each time you finish a step from set_plan."));
    tools.push_back(tool("stop",
                         "Cancel whatever the agent is doing right now. Call this the instant the user says 'stop', "
                         "'cancel', 'never mind', 'forget it', 'wait', or otherwise signals they want the current task "
                         "to abort."));
    return tools;
}

} // namespace

const nlohmann::json& toolCatalogue()
{
    static const json catalogue = buildCatalogue();
    return catalogue;
}

} // namespace twk
