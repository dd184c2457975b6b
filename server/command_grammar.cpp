#include "command_grammar.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace twk::server {
namespace {

const char* const units[] = {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine",
                             "ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen",
                             "seventeen", "eighteen", "nineteen"};
const char* const tens[] = {"twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

// Everyday words that start no command: speech outside the commands finds its
// best match among them, not in a command that merely sounds a little alike.
const char* const everydayWords[] = {
    "i", "you", "he", "she", "we", "they", "me", "my", "your", "his", "her", "our", "their", "a", "an", "this",
    "that", "is", "are", "was", "were", "be", "been", "do", "does", "did", "have", "has", "had", "can", "could",
    "will", "would", "should", "not", "no", "yes", "and", "or", "but", "if", "so", "because", "about", "with",
    "from", "into", "of", "in", "at", "by", "for", "there", "here", "when", "where", "why", "how", "who",
    "which", "all", "any", "some", "many", "much", "more", "very", "just", "also", "really", "please", "thank",
    "thanks", "hello", "hi", "okay", "good", "bad", "big", "small", "long", "high", "great", "little", "joke",
    "story", "email", "send", "call", "mother", "father", "friend", "boss", "book", "table", "tonight", "morning",
    "evening", "night", "weather", "like", "buy", "milk", "order", "remind", "meeting", "game", "won", "team",
    "tall", "translate", "french", "large", "name", "world", "people", "know", "think", "want", "need", "get",
    "give", "take", "make", "see", "look", "find", "tell", "say", "ask", "work", "feel", "try", "leave", "help",
    "talk", "read", "write", "eat", "drink", "sleep", "love", "two", "three", "hundred", "year", "week", "money",
    "home", "house", "car", "water", "food", "doctor", "school", "mount", "everest", "lunch", "dinner", "into",
};

std::string alternatives(const std::vector<std::string>& phrases)
{
    std::string out;
    for (const auto& p : phrases) out += (out.empty() ? "" : " | ") + p;
    return out;
}

} // namespace

std::optional<int> spokenNumber(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    auto unit = [](const std::string& s, int from) -> std::optional<int> {
        for (int i = from; i < 20; ++i)
            if (s == units[i]) return i;
        return std::nullopt;
    };
    if (w.size() == 2 && (w[0] == "one" || w[0] == "a") && w[1] == "hundred") return 100;
    if (w.size() == 1 && w[0] == "hundred") return 100;
    if (w.empty() || w.size() > 2) return std::nullopt;
    if (w.size() == 1)
        if (const auto u = unit(w[0], 0)) return u;
    for (int t = 0; t < 8; ++t) {
        if (w[0] != tens[t]) continue;
        if (w.size() == 1) return 20 + 10 * t;
        if (const auto u = unit(w[1], 1); u && *u < 10) return 20 + 10 * t + *u;
    }
    return std::nullopt;
}

std::string commandGrammar(const CommandVocabulary& v)
{
    std::vector<std::string> top{"<time>", "<date>"};
    std::ostringstream rules;
    rules << "<time> = what time is it | what's the time | what is the time | tell me the time;\n";
    rules << "<date> = what's the date [today] | what is the date [today] | what day is it [today] | what's today's date"
             " | what is today's date;\n";
    auto add = [&](const char* tool, const std::string& name, const std::string& body) {
        if (!v.offers(tool)) return;
        top.push_back("<" + name + ">");
        rules << "<" << name << "> = " << body << ";\n";
    };
    const bool apps = !v.apps.empty();
    if (apps) {
        std::vector<std::string> names;
        for (const auto& a : v.apps) names.push_back(a.spoken);
        rules << "<app> = " << alternatives(names) << ";\n";
        add("open_app", "open_app", "(open | launch | start | switch to | go to | bring up) [the] <app> [app]");
        add("quit_app", "quit_app", "(quit | close | exit) [the] <app> [app]");
    }
    add("play_pause_media", "play_pause",
        "(play | pause | resume) [the] [(music | song | track)] | stop the music | pause playback");
    add("next_track", "next_track", "(next | skip) [the] [(song | track)] | skip this (song | track) | next one");
    add("previous_track", "previous_track", "previous [(song | track)] | go back a (song | track) | last (song | track)");
    if (v.offers("set_volume")) {
        std::vector<std::string> ns{"one hundred", "a hundred"};
        for (const char* u : units) ns.push_back(u);
        for (const char* t : tens) ns.push_back(std::string(t) + " [(one | two | three | four | five | six | seven | eight | nine)]");
        rules << "<percent> = " << alternatives(ns) << ";\n";
        add("set_volume", "volume",
            "[set | turn] [the] volume to <percent> [percent] | (turn | set) [the] volume (up | down) | volume (up | down)"
            " | turn it (up | down) | (louder | quieter) | make it (louder | quieter)");
    }
    add("set_dark_mode", "dark_mode",
        "(turn | switch) (on | off) dark mode | (turn | switch) dark mode (on | off) | dark mode (on | off)"
        " | (switch to | use) (dark | light) mode | (enable | disable) dark mode");
    add("set_wifi", "wifi",
        "(turn | switch) (on | off) [the] wifi | (turn | switch) [the] wifi (on | off) | wifi (on | off)"
        " | (enable | disable) [the] wifi");
    if (!v.sites.empty()) {
        rules << "<site> = " << alternatives(v.sites) << ";\n";
        add("open_url", "open_url", "(open | go to | visit) <site> dot (com | org | net)");
    }
    if (!v.searchWords.empty()) {
        rules << "<word> = " << alternatives(v.searchWords) << ";\n";
        add("search_web", "search_web", "(search [the web] for | google | look up) <word> [<word>] [<word>] [to <word> [<word>]]");
    }
    add("stop", "stop", "stop | cancel | never mind | forget it | stop that");
    // Short words would fit any sound: only those of five letters or more. The
    // list's make-up is the only lever on how readily speech counts as outside
    // the commands: this PocketSphinx ignores JSGF weights on alternatives.
    std::vector<std::string> everyday;
    for (const char* w : everydayWords)
        if (std::strlen(w) >= 5 && std::find(everyday.begin(), everyday.end(), w) == everyday.end()) everyday.push_back(w);
    rules << "<everyday> = " << alternatives(everyday) << ";\n<other> = <everyday> [<everyday>] [<everyday>] [<everyday>];\n";
    top.push_back("<other>");

    std::ostringstream g;
    g << "#JSGF V1.0;\ngrammar commands;\npublic <command> = " << alternatives(top) << ";\n" << rules.str();
    return g.str();
}

} // namespace twk::server
