// The offline speech engine's language: which sentences the grammar allows
// for a client's tools and the installed applications, and what each one
// asks the client to do.

#include "command_grammar.h"
#include "command_intent.h"
#include "phone_mapping.h"
#include "speech_recognizer.h"
#include "tools/tool_catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace twk::server {
namespace {

using nlohmann::json;

const std::vector<AppNaming> apps{{"Galculator", "Calculator"}, {"Mousepad", "Text Editor"},
                                  {"Gedit", "Text Editor"},      {"LibreOffice 7.4", ""},
                                  {"Zenity", "Dialogs"},          {"Firefox", "Web Browser"}};

// A dictionary without "galculator", "gedit" and "zenity", as the real one is.
bool known(const std::string& word)
{
    static const std::set<std::string> missing{"galculator", "gedit", "zenity"};
    return !missing.count(word);
}

CommandVocabulary catalogueVocabulary() { return commandVocabulary(toolCatalogue(), apps, known); }

TEST(SpeechCommands, ApplicationsAreSaidByKnownNamesOrUnambiguousGenericNames)
{
    const CommandVocabulary v = catalogueVocabulary();
    std::map<std::string, std::string> said;
    for (const auto& a : v.apps) said[a.spoken] = a.name;
    // Galculator's own name is not in the dictionary: its generic name stands for it.
    // "Text Editor" would not say which of two editors, a name with digits cannot be said.
    EXPECT_EQ(said, (std::map<std::string, std::string>{{"calculator", "Galculator"},
                                                        {"dialogs", "Zenity"},
                                                        {"firefox", "Firefox"},
                                                        {"mousepad", "Mousepad"},
                                                        {"web browser", "Firefox"}}));
    const std::string grammar = commandGrammar(v);
    EXPECT_NE(grammar.find("<app> = firefox | mousepad | calculator | dialogs | web browser;"), std::string::npos) << grammar;
}

TEST(SpeechCommands, OnlyTheOfferedToolsHaveRules)
{
    const json tools = json::array({{{"type", "function"}, {"name", "set_wifi"}}, {{"type", "function"}, {"name", "stop"}}});
    const CommandVocabulary v = commandVocabulary(tools, apps, known);
    const std::string grammar = commandGrammar(v);
    EXPECT_NE(grammar.find("public <command> = <time> | <date> | <wifi> | <stop> | <other>;"), std::string::npos) << grammar;
    EXPECT_EQ(commandIntent("open firefox", v).kind, CommandIntent::Kind::unknown);
    EXPECT_EQ(commandIntent("turn dark mode on", v).kind, CommandIntent::Kind::unknown);
    EXPECT_EQ(commandIntent("wifi off", v).tool, "set_wifi");
}

TEST(SpeechCommands, TheCatalogueGrammarLoadsIntoTheRecognizer)
{
    SpeechRecognizer recognizer;
    const auto v = commandVocabulary(toolCatalogue(), apps, [&](const std::string& w) { return recognizer.knows(w); });
    EXPECT_FALSE(recognizer.knows("galculator"));
    EXPECT_NO_THROW(recognizer.setGrammar(commandGrammar(v)));
    EXPECT_THROW(recognizer.setGrammar("#JSGF V1.0;\ngrammar g;\npublic <a> = galculator;\n"), std::exception);
}

TEST(SpeechCommands, EachCommandGivesTheToolItsArgumentsAsItsParametersWantThem)
{
    const CommandVocabulary v = catalogueVocabulary();
    const std::vector<std::pair<std::string, std::string>> cases{
        {"open the calculator", R"(open_app {"name":"Galculator"})"},
        {"switch to the web browser", R"(open_app {"name":"Firefox"})"},
        {"bring up mousepad app", R"(open_app {"name":"Mousepad"})"},
        {"close firefox", R"(quit_app {"name":"Firefox"})"},
        {"exit the dialogs", R"(quit_app {"name":"Zenity"})"},
        {"pause", "play_pause_media {}"},
        {"play the music", "play_pause_media {}"},
        {"skip", "next_track {}"},
        {"next track", "next_track {}"},
        {"last song", "previous_track {}"},
        {"previous", "previous_track {}"},
        {"set the volume to seventy two percent", R"(set_volume {"percent":72})"},
        {"volume to a hundred", R"(set_volume {"percent":100})"},
        {"turn the volume to nineteen percent", R"(set_volume {"percent":19})"},
        {"turn dark mode on", R"(set_dark_mode {"on":true})"},
        {"switch off dark mode", R"(set_dark_mode {"on":false})"},
        {"use light mode", R"(set_dark_mode {"on":false})"},
        {"enable dark mode", R"(set_dark_mode {"on":true})"},
        {"switch on the wifi", R"(set_wifi {"on":true})"},
        {"disable the wifi", R"(set_wifi {"on":false})"},
        {"open google dot com", R"(open_url {"url":"google.com"})"},
        {"visit debian dot org", R"(open_url {"url":"debian.org"})"},
        {"search for guitar lessons", R"(search_web {"query":"guitar lessons"})"},
        {"look up population tokyo", R"(search_web {"query":"population tokyo"})"},
        {"forget it", "stop {}"},
        {"stop that", "stop {}"},
    };
    for (const auto& [sentence, expected] : cases) {
        const CommandIntent intent = commandIntent(sentence, v);
        EXPECT_EQ(intent.tool + " " + intent.arguments.dump(), expected) << sentence;
    }
    EXPECT_EQ(commandIntent("what time is it", v).kind, CommandIntent::Kind::askTime);
    EXPECT_EQ(commandIntent("what is the date today", v).kind, CommandIntent::Kind::askDate);
    EXPECT_EQ(commandIntent("make it louder", v).step, 10);
    EXPECT_EQ(commandIntent("turn the volume down", v).step, -10);
    // Nothing the grammar could not have produced turns into an action.
    for (const char* wrong : {"open the spreadsheet", "volume to loud", "turn wifi", "", "close"})
        EXPECT_EQ(commandIntent(wrong, v).kind, CommandIntent::Kind::unknown) << wrong;
    // Nor does a search that repeats a word: stray sound filled from the word list.
    EXPECT_EQ(commandIntent("google phone to phone", v).kind, CommandIntent::Kind::unknown);
}

TEST(SpeechCommands, NumbersAreReadUpToOneHundred)
{
    EXPECT_EQ(spokenNumber("zero"), 0);
    EXPECT_EQ(spokenNumber("ninety nine"), 99);
    EXPECT_EQ(spokenNumber("one hundred"), 100);
    EXPECT_EQ(spokenNumber("forty"), 40);
    EXPECT_FALSE(spokenNumber("twenty twelve"));
    EXPECT_FALSE(spokenNumber("two hundred"));
    EXPECT_FALSE(spokenNumber("fifty five five"));
}

} // namespace
} // namespace twk::server

namespace twk::server {
namespace {

TEST(SpeechCommands, MadeUpNamesAreHeardAsEspeakSaysThem)
{
    EXPECT_EQ(phonesFromIpa("ɡˈælkjʊlˌeɪɾɚ"), "G AE L K Y UH L EY T ER");
    EXPECT_EQ(phonesFromIpa("θˈʌndɚbˌɜːd"), "TH AH N D ER B ER D");
    EXPECT_EQ(phonesFromIpa("tʃˈɔɪs"), "CH OY S");
    EXPECT_FALSE(phonesFromIpa("ɡˈæ§"));
    EXPECT_FALSE(phonesFromIpa("ˈ"));
}

} // namespace
} // namespace twk::server

namespace twk::server {
namespace {

TEST(SpeechCommands, PhoneMismatchIgnoresSilenceAndCountsEdits)
{
    EXPECT_DOUBLE_EQ(phoneMismatch("K AE T ", "SIL K AE T +NSN+ SIL"), 0);
    EXPECT_DOUBLE_EQ(phoneMismatch("K AE T", "B AE"), 2.0 / 3);
    EXPECT_DOUBLE_EQ(phoneMismatch("", "SIL"), 0);
    EXPECT_DOUBLE_EQ(phoneMismatch("", "AH"), 1);
}

} // namespace
} // namespace twk::server
