#include "speech_engine.h"

#include "command_grammar.h"
#include "common/log.h"
#include "phone_mapping.h"
#include "platform/linux/desktop_entries.h"
#include "reply_events.h"
#include "speech_synthesizer.h"
#include "spoken_reply.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>

namespace twk::server {
namespace {

using nlohmann::json;

constexpr int64_t bytesPerMs = 48;       // PCM16 mono at 24 kHz
constexpr size_t recentBytes = 48000;    // one second
constexpr int64_t leadInMs = 300;        // before the detector's start: soft onsets it does not count

const json* find(const json& node, std::initializer_list<const char*> path)
{
    const json* at = &node;
    for (const char* key : path) {
        if (!at->is_object() || !at->contains(key)) return nullptr;
        at = &(*at)[key];
    }
    return at;
}

/// Whether the recognizer can hear `word`: from its dictionary, or else as
/// espeak-ng would say it (application names are often made-up words).
bool sayable(const std::string& word)
{
    if (SpeechRecognizer::knows(word)) return true;
    const auto phones = phonesFromIpa(SpeechSynthesizer::instance().ipaOf(word));
    if (!phones) return false;
    SpeechRecognizer::addPronunciation(word, *phones);
    return true;
}

} // namespace

std::vector<AppNaming> installedAppNames()
{
    std::vector<AppNaming> names;
    for (const DesktopEntry& entry : installedDesktopEntries())
        if (entry.shown) names.push_back({entry.name, entry.genericName});
    return names;
}

SpeechEngine::SpeechEngine(RealtimeOutput& output, int connectionNumber, AppCatalogue apps)
    : output_(output), connection_(connectionNumber), apps_(std::move(apps))
{
}

SpeechEngine::~SpeechEngine() = default;

void SpeechEngine::log(const std::string& text) const
{
    logLine("[twk/server] realtime #" + std::to_string(connection_) + " " + text);
}

void SpeechEngine::applySession(const json& session)
{
    if (const json* tools = find(session, {"tools"}); tools && tools->is_array()) {
        tools_ = *tools;
        grammarStale_ = true;
    }
    if (const json* voice = find(session, {"audio", "output", "voice"}); voice && voice->is_string())
        voice_ = SpeechSynthesizer::instance().voiceFor(voice->get<std::string>());
    if (const json* instructions = find(session, {"instructions"}); instructions && instructions->is_string())
        instructions_ = instructions->get<std::string>();
}

void SpeechEngine::rebuildGrammar()
{
    if (!recognizer_) {
        recognizer_ = std::make_unique<SpeechRecognizer>();
        grammarStale_ = true;
    }
    if (!grammarStale_) return;
    vocabulary_ = commandVocabulary(tools_, apps_ ? apps_() : std::vector<AppNaming>{}, sayable);
    recognizer_->setGrammar(commandGrammar(vocabulary_));
    grammarStale_ = false;
    log("speech grammar: " + std::to_string(vocabulary_.tools.size()) + " tools, " +
        std::to_string(vocabulary_.apps.size()) + " application names");
}

void SpeechEngine::onClientMessage(const json& message)
{
    const std::string type = message["type"];
    if (type == "session.update") {
        session_.apply(message);
        if (const auto it = message.find("session"); it != message.end()) applySession(*it);
    } else if (type == "conversation.item.create") {
        const json* item = find(message, {"item"});
        if (item && item->value("type", "") == "function_call_output" && pendingCall_ &&
            item->value("call_id", "") == pendingCall_->callId) {
            const json* out = find(*item, {"output"});
            pendingOutput_ = out && out->is_string() ? out->get<std::string>() : std::string();
        }
    } else if (type == "response.create") {
        if (pendingCall_ && pendingOutput_) {
            const auto result = json::parse(*pendingOutput_, nullptr, false);
            const bool ok = !result.is_object() || result.value("ok", true);
            if (ok && pendingCall_->tool == "set_volume") volume_ = pendingCall_->arguments.value("percent", 50);
            const std::string reply = confirmationOf(*pendingOutput_);
            pendingCall_.reset();
            pendingOutput_.reset();
            speak(reply);
        } else {
            speak("OK.");
        }
    } else if (type == "response.cancel") {
        // Replies here are complete the moment they start: there is never one to cancel.
        output_.send(noActiveResponseError());
    }
}

void SpeechEngine::onInputAudio(std::string_view pcm)
{
    receivedBytes_ += int64_t(pcm.size());
    if (recognizer_ && recognizer_->inUtterance()) recognizer_->feed(pcm);
    recent_.append(pcm);
    if (recent_.size() > recentBytes) recent_.erase(0, recent_.size() - recentBytes);
}

void SpeechEngine::onVoiceActivity(const VadEvent& event)
{
    try {
        if (event.kind == VadEvent::Kind::speechStarted) {
            rebuildGrammar();
            recognizer_->startUtterance();
            // The audio since shortly before the start has already arrived: the utterance begins with it.
            const int64_t recentStart = receivedBytes_ - int64_t(recent_.size());
            int64_t from = std::max<int64_t>(0, (event.atMs - leadInMs) * bytesPerMs - recentStart);
            from = std::min<int64_t>(from, int64_t(recent_.size())) & ~int64_t(1);
            recognizer_->feed(std::string_view(recent_).substr(size_t(from)));
            return;
        }
        if (!recognizer_ || !recognizer_->inUtterance()) return;
        handleTurn(recognizer_->finish());
    } catch (const std::exception& e) {
        // Without recognition the turn still gets an answer, and the session goes on.
        log(std::string("speech engine: ") + e.what());
        if (recognizer_ && recognizer_->inUtterance()) recognizer_->finish();
        if (session_.createResponse) speak("Sorry, speech recognition is not working on this server.");
    }
}

void SpeechEngine::handleTurn(const Recognition& heard)
{
    const bool fits = !heard.words.empty() && heard.mismatch <= maxMismatch;
    const CommandIntent intent = fits ? commandIntent(heard.words, vocabulary_) : CommandIntent{};
    const bool understood = intent.kind != CommandIntent::Kind::unknown;
    char mismatch[32];
    std::snprintf(mismatch, sizeof mismatch, "%.2f", heard.mismatch);
    log("heard \"" + heard.words + "\" (phone mismatch " + mismatch + (understood ? ")" : ", refused)"));
    // Words that make no command are the grammar's nearest guess, not what was said.
    output_.send({{"type", "conversation.item.input_audio_transcription.completed"},
                  {"item_id", "item_" + std::to_string(connection_) + "_heard_" + std::to_string(responses_ + 1)},
                  {"content_index", 0},
                  {"transcript", understood ? heard.words : "(not understood)"}});
    if (!session_.createResponse) return;

    const QDateTime now = QDateTime::currentDateTime().toTimeZone(zoneFromInstructions(instructions_));
    switch (intent.kind) {
    case CommandIntent::Kind::tool: return callTool(intent.tool, intent.arguments);
    case CommandIntent::Kind::askTime: return speak(timeAnswer(now));
    case CommandIntent::Kind::askDate: return speak(dateAnswer(now));
    case CommandIntent::Kind::volumeStep:
        if (volume_) return callTool("set_volume", {{"percent", std::clamp(*volume_ + intent.step, 0, 100)}});
        return speak("Say a volume level, for example: volume to fifty percent.");
    case CommandIntent::Kind::unknown: return speak(refusalFor(vocabulary_));
    }
}

void SpeechEngine::callTool(const std::string& name, const json& arguments)
{
    const std::string n = std::to_string(connection_) + "_" + std::to_string(++responses_);
    pendingCall_ = PendingCall{"call_" + n, name, arguments};
    pendingOutput_.reset();
    log("calling " + name + " " + arguments.dump());
    for (const json& event : functionCallResponseEvents("resp_" + n, "item_" + n, "call_" + n, name, arguments))
        output_.send(event);
}

void SpeechEngine::speak(const std::string& text)
{
    const std::string n = std::to_string(connection_) + "_" + std::to_string(++responses_);
    std::string pcm;
    try {
        pcm = SpeechSynthesizer::instance().speak(text, voice_);
    } catch (const std::exception& e) {
        log(std::string("no reply audio: ") + e.what()); // the transcript still goes out
    }
    for (const json& event : spokenResponseEvents("resp_" + n, "item_" + n, text, pcm)) output_.send(event);
}

} // namespace twk::server
