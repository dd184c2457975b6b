#pragma once

#include "command_intent.h"
#include "conversation_engine.h"
#include "session_config.h"
#include "speech_recognizer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk::server {

/// Installed applications, read when a session's grammar is built.
using AppCatalogue = std::function<std::vector<AppNaming>()>;

/// The offline engine: recognizes the common commands with a grammar built
/// from the tools the client offers and the installed applications, turns
/// them into tool calls, answers the time and date itself, refuses anything
/// else aloud, and speaks a short confirmation of each tool's result.
class SpeechEngine : public ConversationEngine {
public:
    SpeechEngine(RealtimeOutput& output, int connectionNumber, AppCatalogue apps);
    ~SpeechEngine() override;

    void onClientMessage(const nlohmann::json& message) override;
    void onInputAudio(std::string_view pcm16) override;
    void onVoiceActivity(const VadEvent& event) override;

    /// A recognized sentence whose phones differ more than this from the free
    /// phone recognition is taken as speech outside the grammar.
    static constexpr double maxMismatch = 1.0;

    /// Handles one finished turn as if `heard` had been recognized (the turn's path after recognition).
    void handleTurn(const Recognition& heard);

private:
    void applySession(const nlohmann::json& session);
    void rebuildGrammar();
    void speak(const std::string& text);
    void callTool(const std::string& name, const nlohmann::json& arguments);
    void log(const std::string& text) const;

    RealtimeOutput& output_;
    int connection_;
    AppCatalogue apps_;
    SessionConfig session_;
    nlohmann::json tools_ = nlohmann::json::array();
    std::string voice_ = "en-us";
    std::string instructions_;
    CommandVocabulary vocabulary_;
    std::unique_ptr<SpeechRecognizer> recognizer_;
    bool grammarStale_ = true;
    std::string recent_;       // the last second of input audio, for the start of an utterance
    int64_t receivedBytes_ = 0;
    int responses_ = 0;
    struct PendingCall { std::string callId, tool; nlohmann::json arguments; };
    std::optional<PendingCall> pendingCall_;
    std::optional<std::string> pendingOutput_;
    std::optional<int> volume_; // the level last set in this session
};

class SpeechEngineFactory : public ConversationEngineFactory {
public:
    explicit SpeechEngineFactory(AppCatalogue apps) : apps_(std::move(apps)) {}
    std::unique_ptr<ConversationEngine> create(RealtimeOutput& output, int connectionNumber) override
    {
        return std::make_unique<SpeechEngine>(output, connectionNumber, apps_);
    }

private:
    AppCatalogue apps_;
};

/// The installed applications the desktop lists, as this machine's desktop entries name them.
std::vector<AppNaming> installedAppNames();

} // namespace twk::server
