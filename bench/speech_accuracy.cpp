// Command accuracy of tarnwick-server's offline speech engine: commands
// spoken by flite and espeak-ng in several voices, speeds and noise levels go through
// the engine's recognizer, grammar and intent reading; a command counts as
// right when the tool and its arguments (or the server's own answer) are
// exactly the expected ones, and an out-of-grammar sentence counts as right
// when it is refused. None of these sentences is used by the grammar tests.
//   build/default/bench/speech_accuracy [--verbose]
// Target: at least 90 % of the commands right, judged on the voices made from
// recordings of people; the formant voices' figure is printed beside it.

#include "command_grammar.h"
#include "command_intent.h"
#include "speech_engine.h"
#include "speech_recognizer.h"
#include "tools/tool_catalogue.h"

#include "temp_folder.h"
#include "integration/app/spoken_audio.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace twk;
using nlohmann::json;

struct Case {
    const char* text;
    const char* expected; // "tool {args}", "time", "date", "step", or "refuse"
};

const Case commands[] = {
    {"open firefox", R"(open_app {"name":"Firefox"})"},
    {"launch the calculator", R"(open_app {"name":"Galculator"})"},
    {"switch to slack", R"(open_app {"name":"Slack"})"},
    {"bring up the text editor", R"(open_app {"name":"Mousepad"})"},
    {"start the terminal", R"(open_app {"name":"Terminal"})"},
    {"go to spotify", R"(open_app {"name":"Spotify"})"},
    {"open files", R"(open_app {"name":"Files"})"},
    {"open settings", R"(open_app {"name":"Settings"})"},
    {"launch thunderbird", R"(open_app {"name":"Thunderbird"})"},
    {"launch mousepad", R"(open_app {"name":"Mousepad"})"},
    {"quit firefox", R"(quit_app {"name":"Firefox"})"},
    {"close the calculator", R"(quit_app {"name":"Galculator"})"},
    {"exit slack", R"(quit_app {"name":"Slack"})"},
    {"close the text editor", R"(quit_app {"name":"Mousepad"})"},
    {"quit terminal", R"(quit_app {"name":"Terminal"})"},
    {"close mousepad", R"(quit_app {"name":"Mousepad"})"},
    {"pause the music", "play_pause_media {}"},
    {"play", "play_pause_media {}"},
    {"resume the song", "play_pause_media {}"},
    {"stop the music", "play_pause_media {}"},
    {"next song", "next_track {}"},
    {"skip this track", "next_track {}"},
    {"previous track", "previous_track {}"},
    {"go back a song", "previous_track {}"},
    {"volume to fifty percent", R"(set_volume {"percent":50})"},
    {"set the volume to twenty", R"(set_volume {"percent":20})"},
    {"set volume to eighty five percent", R"(set_volume {"percent":85})"},
    {"volume to one hundred percent", R"(set_volume {"percent":100})"},
    {"the volume to thirty three percent", R"(set_volume {"percent":33})"},
    {"set the volume to zero", R"(set_volume {"percent":0})"},
    {"volume up", "step"},
    {"turn it down", "step"},
    {"turn on dark mode", R"(set_dark_mode {"on":true})"},
    {"switch dark mode off", R"(set_dark_mode {"on":false})"},
    {"dark mode on", R"(set_dark_mode {"on":true})"},
    {"switch to light mode", R"(set_dark_mode {"on":false})"},
    {"use dark mode", R"(set_dark_mode {"on":true})"},
    {"disable dark mode", R"(set_dark_mode {"on":false})"},
    {"turn off the wifi", R"(set_wifi {"on":false})"},
    {"turn wifi on", R"(set_wifi {"on":true})"},
    {"wifi off", R"(set_wifi {"on":false})"},
    {"enable wifi", R"(set_wifi {"on":true})"},
    {"switch off wifi", R"(set_wifi {"on":false})"},
    {"open youtube dot com", R"(open_url {"url":"youtube.com"})"},
    {"go to wikipedia dot org", R"(open_url {"url":"wikipedia.org"})"},
    {"visit github dot com", R"(open_url {"url":"github.com"})"},
    {"open reddit dot com", R"(open_url {"url":"reddit.com"})"},
    {"go to stack overflow dot com", R"(open_url {"url":"stackoverflow.com"})"},
    {"search for pizza near me", R"(search_web {"query":"pizza near me"})"},
    {"search the web for cheap flights to london", R"(search_web {"query":"cheap flights to london"})"},
    {"google weather tomorrow", R"(search_web {"query":"weather tomorrow"})"},
    {"look up chocolate cake recipe", R"(search_web {"query":"chocolate cake recipe"})"},
    {"search for python tutorial", R"(search_web {"query":"python tutorial"})"},
    {"what time is it", "time"},
    {"what's the time", "time"},
    {"what's the date", "date"},
    {"what day is it today", "date"},
    {"what is today's date", "date"},
    {"stop", "stop {}"},
    {"cancel", "stop {}"},
    {"never mind", "stop {}"},
};

const Case outOfGrammar[] = {
    {"tell me a joke", "refuse"},
    {"how tall is mount everest", "refuse"},
    {"send an email to my boss", "refuse"},
    {"what is the weather like in paris", "refuse"},
    {"book a table for two tonight", "refuse"},
    {"remind me to buy milk", "refuse"},
    {"who won the game last night", "refuse"},
    {"translate hello into french", "refuse"},
    {"order a large pizza", "refuse"},
    {"call my mother", "refuse"},
};

// flite's voices are built from recordings of people (US, Scottish); espeak-ng's
// are rule-made formant voices that the recognizer's acoustic model, trained on
// people, hears far less well. Both are counted, and shown apart.
const test::Speaker speakers[] = {
    {"flite:slt", 175, 0}, {"flite:rms", 160, 0}, {"flite:awb", 185, 0.01}, {"flite:kal16", 170, 0.005},
    {"en-us", 175, 0}, {"en-gb", 160, 0}, {"en-us+f3", 190, 0}, {"en-us+m3", 150, 0.01}, {"en-gb-x-rp", 175, 0.02},
};

struct Tally {
    int right = 0, total = 0, refused = 0, outside = 0, wrongActions = 0;
    void print(const char* what) const
    {
        std::printf("%-34s commands %3d of %3d right (%5.1f %%), %2d wrong actions; out of grammar %2d of %2d refused\n", what,
                    right, total, 100.0 * right / std::max(total, 1), wrongActions, refused, outside);
    }
};

std::string outcome(const server::Recognition& r, const server::CommandVocabulary& v)
{
    if (r.words.empty() || r.mismatch > server::SpeechEngine::maxMismatch) return "refuse";
    const server::CommandIntent intent = server::commandIntent(r.words, v);
    switch (intent.kind) {
    case server::CommandIntent::Kind::tool: return intent.tool + " " + intent.arguments.dump();
    case server::CommandIntent::Kind::askTime: return "time";
    case server::CommandIntent::Kind::askDate: return "date";
    case server::CommandIntent::Kind::volumeStep: return "step";
    case server::CommandIntent::Kind::unknown: return "refuse";
    }
    return "refuse";
}

} // namespace

int main(int argc, char** argv)
{
    const bool verbose = argc > 1 && std::strcmp(argv[1], "--verbose") == 0;
    TempFolder folder("speech_accuracy");
    // --fresh: a new recognizer for every sentence, as for the first command of a connection.
    const bool fresh = argc > 1 && std::strcmp(argv[argc - 1], "--fresh") == 0;
    auto shared = std::make_unique<server::SpeechRecognizer>();
    const std::vector<server::AppNaming> apps{
        {"Galculator", "Calculator"}, {"Mousepad", "Text Editor"}, {"Firefox", "Web Browser"}, {"Files", "File Manager"},
        {"Terminal", "Terminal Emulator"}, {"Thunderbird", "Mail Client"}, {"Spotify", "Music Player"}, {"Slack", ""},
        {"Settings", ""}};
    const auto vocabulary = server::commandVocabulary(toolCatalogue(), apps, [&](const std::string& w) { return shared->knows(w); });
    shared->setGrammar(server::commandGrammar(vocabulary));

    Tally natural, formant;
    std::vector<double> decodeMs, realTime;
    for (const auto& speaker : speakers) {
        Tally voice;
        const auto run = [&](const Case& c, bool command) {
            const std::string pcm = test::spokenPcm(folder.path.string(), c.text, speaker);
            std::unique_ptr<server::SpeechRecognizer> own;
            if (fresh) {
                own = std::make_unique<server::SpeechRecognizer>();
                own->setGrammar(server::commandGrammar(vocabulary));
            }
            server::SpeechRecognizer& recognizer = fresh ? *own : *shared;
            recognizer.startUtterance();
            for (size_t at = 0; at < pcm.size(); at += 4800) recognizer.feed(std::string_view(pcm).substr(at, 4800));
            const auto start = std::chrono::steady_clock::now();
            const server::Recognition r = recognizer.finish();
            decodeMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            realTime.push_back(decodeMs.back() / 1000 / (double(pcm.size()) / 48000));
            const std::string got = outcome(r, vocabulary);
            const bool ok = got == c.expected;
            if (command) {
                voice.right += ok;
                voice.wrongActions += !ok && got != "refuse";
                ++voice.total;
            } else {
                voice.refused += ok;
                ++voice.outside;
            }
            if (verbose || !ok)
                std::printf("%s %-11s %-42s heard \"%s\" mismatch %.2f -> %s\n", ok ? "  " : "XX", speaker.voice.c_str(),
                            c.text, r.words.c_str(), r.mismatch, got.c_str());
        };
        for (const Case& c : commands) run(c, true);
        for (const Case& c : outOfGrammar) run(c, false);
        voice.print(speaker.voice.c_str());
        Tally& family = speaker.voice.rfind("flite:", 0) == 0 ? natural : formant;
        family.right += voice.right, family.total += voice.total, family.wrongActions += voice.wrongActions;
        family.refused += voice.refused, family.outside += voice.outside;
    }
    std::printf("%zu commands and %zu sentences outside the grammar, each spoken by %zu voices\n", std::size(commands),
                std::size(outOfGrammar), std::size(speakers));
    natural.print("voices from recordings (flite)");
    formant.print("formant voices (espeak-ng)");
    std::sort(decodeMs.begin(), decodeMs.end());
    std::sort(realTime.begin(), realTime.end());
    std::printf("decoding at the end of an utterance: median %.2f x its length, max %.2f\n", realTime[realTime.size() / 2],
                realTime.back());
    std::printf("end of utterance to result: median %.1f ms, max %.1f ms\n", decodeMs[decodeMs.size() / 2], decodeMs.back());
    return natural.right * 10 >= natural.total * 9 ? 0 : 1;
}
