#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace twk::server {

/// An installed application as the desktop names it.
struct AppNaming {
    std::string name;        // "Galculator"
    std::string genericName; // "Calculator"; may be empty
};

/// An application name as it is said, and the name the tool is given for it.
struct SpokenApp {
    std::string spoken; // lower-case words: "text editor"
    std::string name;   // "Mousepad"
};

/// What the recognizer may hear on one connection: the tools the client
/// offers, the applications by name, websites and a bounded list of words
/// for web searches. Every word in it is one the recognizer knows.
struct CommandVocabulary {
    std::set<std::string> tools;
    std::vector<SpokenApp> apps;
    std::vector<std::string> sites;       // "youtube", "stack overflow"
    std::vector<std::string> searchWords; // single words

    bool offers(const std::string& tool) const { return tools.count(tool) != 0; }
    /// The application said as `spoken`, or nullptr.
    const SpokenApp* app(const std::string& spoken) const;
};

/// `text` as spoken words: lower case, letters only, single spaces; empty
/// when it holds anything else that would be said (digits, symbols).
std::string spokenWords(const std::string& text);

/// The vocabulary for the tools a client offers (its session's "tools") and
/// the installed applications. Words `known` refuses are left out, and so is
/// any name or phrase that holds one; a generic name shared by two
/// applications is left out too, since it would not say which one is meant.
CommandVocabulary commandVocabulary(const nlohmann::json& tools, const std::vector<AppNaming>& apps,
                                    const std::function<bool(const std::string&)>& known);

} // namespace twk::server
