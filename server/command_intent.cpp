#include "command_intent.h"

#include "command_grammar.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace twk::server {
namespace {

using nlohmann::json;
using Kind = CommandIntent::Kind;

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0 &&
           (text.size() == prefix.size() || text[prefix.size()] == ' ');
}

bool hasWord(const std::string& text, const std::string& word)
{
    return (" " + text + " ").find(" " + word + " ") != std::string::npos;
}

/// Whether a word comes twice in `text`: in a search, that is the recognizer
/// filling stray sound from its bounded word list ("phone to phone"), not
/// something said.
bool repeatsAWord(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> seen;
    for (std::string w; in >> w; seen.push_back(w))
        if (std::find(seen.begin(), seen.end(), w) != seen.end()) return true;
    return false;
}

/// `text` after the first of `prefixes` it starts with, or nullopt.
std::optional<std::string> after(const std::string& text, std::initializer_list<const char*> prefixes)
{
    for (const char* p : prefixes)
        if (startsWith(text, p)) return text.size() > std::strlen(p) ? text.substr(std::strlen(p) + 1) : "";
    return std::nullopt;
}

std::string withoutArticleAndApp(std::string rest)
{
    if (startsWith(rest, "the")) rest = rest.size() > 3 ? rest.substr(4) : "";
    if (rest.size() > 4 && rest.compare(rest.size() - 4, 4, " app") == 0) rest.resize(rest.size() - 4);
    return rest;
}

CommandIntent kind(Kind k)
{
    CommandIntent intent;
    intent.kind = k;
    return intent;
}

CommandIntent tool(const CommandVocabulary& v, const char* name, json arguments = json::object())
{
    if (!v.offers(name)) return {};
    CommandIntent intent;
    intent.kind = Kind::tool;
    intent.tool = name;
    intent.arguments = std::move(arguments);
    return intent;
}

/// "on" or "off" in a toggle sentence; "enable"/"disable" and dark/light say it too.
std::optional<bool> onOff(const std::string& text)
{
    const bool on = hasWord(text, "on") || startsWith(text, "enable") || (hasWord(text, "dark") && startsWith(text, "switch to"));
    const bool off = hasWord(text, "off") || startsWith(text, "disable") || hasWord(text, "light");
    if (on == off) {
        if (startsWith(text, "use")) return hasWord(text, "dark");
        return std::nullopt;
    }
    return on;
}

CommandIntent openTarget(const std::string& rest, const CommandVocabulary& v)
{
    const auto dot = rest.rfind(" dot ");
    if (dot != std::string::npos) {
        std::string site = rest.substr(0, dot);
        site.erase(std::remove(site.begin(), site.end(), ' '), site.end());
        if (site.empty()) return {};
        return tool(v, "open_url", {{"url", site + "." + rest.substr(dot + 5)}});
    }
    if (const SpokenApp* app = v.app(withoutArticleAndApp(rest))) return tool(v, "open_app", {{"name", app->name}});
    return {};
}

} // namespace

CommandIntent commandIntent(const std::string& text, const CommandVocabulary& v)
{
    if (text.empty()) return {};
    const bool question = text.rfind("what", 0) == 0; // "what", "what's"
    if ((question && hasWord(text, "time")) || text == "tell me the time") return kind(Kind::askTime);
    if (question && (hasWord(text, "date") || hasWord(text, "day"))) return kind(Kind::askDate);
    if (text == "stop" || text == "cancel" || text == "never mind" || text == "forget it" || text == "stop that")
        return tool(v, "stop");

    if (const auto rest = after(text, {"search the web for", "search for", "google", "look up"}); rest && !rest->empty())
        return repeatsAWord(*rest) ? CommandIntent{} : tool(v, "search_web", {{"query", *rest}});
    if (hasWord(text, "volume") || startsWith(text, "turn it") || hasWord(text, "louder") || hasWord(text, "quieter")) {
        if (const auto rest = after(text, {"set the volume to", "set volume to", "turn the volume to", "turn volume to",
                                           "the volume to", "volume to"})) {
            std::string number = *rest;
            if (number.size() > 8 && number.compare(number.size() - 8, 8, " percent") == 0) number.resize(number.size() - 8);
            if (const auto percent = spokenNumber(number)) return tool(v, "set_volume", {{"percent", *percent}});
            return {};
        }
        if (!v.offers("set_volume")) return {};
        const bool up = hasWord(text, "up") || hasWord(text, "louder");
        const bool down = hasWord(text, "down") || hasWord(text, "quieter");
        if (up == down) return {};
        CommandIntent step = kind(Kind::volumeStep);
        step.step = up ? 10 : -10;
        return step;
    }
    if (hasWord(text, "mode") && (hasWord(text, "dark") || hasWord(text, "light"))) {
        const auto on = onOff(text);
        return on ? tool(v, "set_dark_mode", {{"on", *on}}) : CommandIntent{};
    }
    if (hasWord(text, "wifi")) {
        const auto on = onOff(text);
        return on ? tool(v, "set_wifi", {{"on", *on}}) : CommandIntent{};
    }
    if (const auto rest = after(text, {"open", "launch", "start", "switch to", "go to", "bring up", "visit"}))
        return openTarget(*rest, v);
    if (const auto rest = after(text, {"quit", "close", "exit"})) {
        if (const SpokenApp* app = v.app(withoutArticleAndApp(*rest))) return tool(v, "quit_app", {{"name", app->name}});
        return {};
    }
    if (startsWith(text, "next") || startsWith(text, "skip")) return tool(v, "next_track");
    if (startsWith(text, "previous") || startsWith(text, "go back") || startsWith(text, "last")) return tool(v, "previous_track");
    if (startsWith(text, "play") || startsWith(text, "pause") || startsWith(text, "resume") || text == "stop the music")
        return tool(v, "play_pause_media");
    return {};
}

} // namespace twk::server
