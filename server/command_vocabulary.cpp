#include "command_vocabulary.h"

#include <map>
#include <sstream>

namespace twk::server {
namespace {

// Websites said by name, without their ".com"; words of two are joined in the address.
const char* const siteNames[] = {
    "youtube", "google",  "wikipedia", "github",   "amazon",   "reddit",   "facebook", "twitter", "gmail",
    "ebay",    "linkedin", "instagram", "debian",  "ubuntu",   "python",   "weather",  "news",    "stack overflow",
    "yahoo",   "bing",     "apple",     "microsoft", "spotify", "twitch",  "pinterest", "imdb",   "paypal",
};

// The words a web search may use: bounded so that the grammar stays small
// and the recognizer can still tell a command from a search. Short function
// words ("a", "the", "of") are left out: they fit any stray sound, and a
// search made of them would be a wrong action. "to" is allowed only between
// words ("flights to london"), by the grammar.
const char* const searchWordList[] = {
    "weather", "news", "today", "tomorrow", "recipes", "recipe", "pizza", "pasta", "restaurants", "near", "me",
    "cheap", "flights", "hotels", "best", "movies",
    "music", "songs", "football", "soccer", "scores", "linux", "python", "programming", "tutorial", "coffee",
    "train", "times", "bus", "tickets", "paris", "london", "berlin", "new", "york", "tokyo", "stock", "price",
    "prices", "translate", "dictionary", "definition", "meaning", "history", "science", "space", "cats", "dogs",
    "chocolate", "cake", "bread", "vegetarian", "jobs", "apartments", "cars", "books", "games", "guitar",
    "lessons", "learn", "spanish", "french", "german", "english", "world", "cup", "election", "results",
    "population", "capital", "city", "country", "tallest", "mountain", "ocean", "moon", "sun", "stars",
    "banana", "bread", "apple", "pie", "chicken", "soup", "tea", "garden", "flowers", "birds", "health",
    "exercise", "yoga", "running", "shoes", "laptop", "phone", "camera", "reviews", "open", "source",
    "software", "computer", "keyboard", "headphones", "podcast", "podcasts", "holiday", "ideas", "gift",
    "birthday", "party", "museum", "concert", "cinema", "library", "school", "university", "hospital",
};

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool allKnown(const std::string& phrase, const std::function<bool(const std::string&)>& known)
{
    const auto ws = words(phrase);
    if (ws.empty()) return false;
    for (const auto& w : ws)
        if (!known(w)) return false;
    return true;
}

} // namespace

const SpokenApp* CommandVocabulary::app(const std::string& spoken) const
{
    for (const auto& a : apps)
        if (a.spoken == spoken) return &a;
    return nullptr;
}

std::string spokenWords(const std::string& text)
{
    std::string out;
    bool gap = false;
    for (const char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            if (gap && !out.empty()) out += ' ';
            gap = false;
            out += char(c | 0x20);
        } else if (c == ' ' || c == '-' || c == '_' || c == '\t') {
            gap = true;
        } else if (c != '\'') {
            return ""; // digits, dots, non-ASCII letters: not something the recognizer can hear
        }
    }
    return out;
}

CommandVocabulary commandVocabulary(const nlohmann::json& tools, const std::vector<AppNaming>& apps,
                                    const std::function<bool(const std::string&)>& known)
{
    CommandVocabulary v;
    if (tools.is_array())
        for (const auto& tool : tools)
            if (tool.is_object() && tool.contains("name") && tool["name"].is_string()) v.tools.insert(tool["name"].get<std::string>());

    // Names first, so that a generic name never shadows an application's own name.
    std::map<std::string, std::string> byName;
    std::map<std::string, std::vector<std::string>> byGeneric;
    for (const auto& app : apps) {
        const std::string spoken = spokenWords(app.name);
        if (!spoken.empty() && allKnown(spoken, known)) byName.emplace(spoken, app.name);
        const std::string generic = spokenWords(app.genericName);
        if (!generic.empty() && allKnown(generic, known)) byGeneric[generic].push_back(app.name);
    }
    for (const auto& [spoken, name] : byName) v.apps.push_back({spoken, name});
    for (const auto& [spoken, names] : byGeneric)
        if (names.size() == 1 && !byName.count(spoken)) v.apps.push_back({spoken, names.front()});

    for (const char* site : siteNames)
        if (allKnown(site, known)) v.sites.push_back(site);
    std::set<std::string> search;
    for (const char* w : searchWordList)
        if (known(w)) search.insert(w);
    for (const auto& a : v.apps)
        for (const auto& w : words(a.spoken)) search.insert(w);
    v.searchWords.assign(search.begin(), search.end());
    return v;
}

} // namespace twk::server
