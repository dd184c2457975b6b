#pragma once

#include "conversation_engine.h"
#include "scenario.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

namespace twk::server {

/// Plays one connection's steps of a scenario. Cues are matched against the
/// connection's events in order: an event that arrives while a step is still
/// busy (a delay, paced audio) is kept for the next cue, so a script reads
/// the same whatever the timing.
class ScenarioEngine : public QObject, public ConversationEngine {
public:
    ScenarioEngine(std::shared_ptr<const Scenario> scenario, RealtimeOutput& output, int connectionNumber);

    void onClientMessage(const nlohmann::json& message) override;
    void onInputAudio(std::string_view) override {}
    void onVoiceActivity(const VadEvent& event) override;

    /// Events kept for later cues beyond this are dropped, oldest first.
    static constexpr size_t maxBacklog = 1000;

private:
    enum class Waiting { nothing, event, delay, audio };

    void observe(CueEvent event);
    void advance();
    /// Starts the step's action; false when it continues asynchronously.
    bool act(const Action& action);
    void sendAudioChunk();
    void log(const std::string& text) const;

    std::shared_ptr<const Scenario> scenario_;
    const std::vector<ScenarioStep>& steps_;
    RealtimeOutput& output_;
    int connectionNumber_;
    size_t index_ = 0;
    bool cueDone_ = false; // the current step's cue has come
    Waiting waiting_ = Waiting::nothing;
    std::deque<CueEvent> backlog_;
    QTimer timer_;
    size_t audioOffset_ = 0;
};

class ScenarioEngineFactory : public ConversationEngineFactory {
public:
    explicit ScenarioEngineFactory(std::shared_ptr<const Scenario> scenario) : scenario_(std::move(scenario)) {}
    std::unique_ptr<ConversationEngine> create(RealtimeOutput& output, int connectionNumber) override
    {
        return std::make_unique<ScenarioEngine>(scenario_, output, connectionNumber);
    }

private:
    std::shared_ptr<const Scenario> scenario_;
};

} // namespace twk::server
