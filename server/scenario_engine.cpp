#include "scenario_engine.h"

#include "common/log.h"

#include <QByteArray>

namespace twk::server {
namespace {

constexpr size_t bytesPerMs = 48; // PCM16 mono at 24 kHz

} // namespace

ScenarioEngine::ScenarioEngine(std::shared_ptr<const Scenario> scenario, RealtimeOutput& output, int connectionNumber)
    : scenario_(std::move(scenario)), steps_(scenario_->stepsFor(connectionNumber)), output_(output),
      connectionNumber_(connectionNumber)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early: a scripted pause is a lower bound
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (waiting_ == Waiting::delay) {
            waiting_ = Waiting::nothing;
            cueDone_ = true;
            advance();
        } else if (waiting_ == Waiting::audio) {
            sendAudioChunk();
        }
    });
    // Steps without a cue run as soon as the client is connected.
    QTimer::singleShot(0, this, [this] { advance(); });
}

void ScenarioEngine::log(const std::string& text) const
{
    logLine("[twk/server] realtime #" + std::to_string(connectionNumber_) + " " + text);
}

void ScenarioEngine::onClientMessage(const nlohmann::json& message) { observe(CueEvent{message, std::nullopt}); }

void ScenarioEngine::onVoiceActivity(const VadEvent& event) { observe(CueEvent{std::nullopt, event.kind}); }

void ScenarioEngine::observe(CueEvent event)
{
    if (index_ >= steps_.size()) return;
    if (waiting_ == Waiting::event) {
        if (cueMatches(*steps_[index_].cue, event)) {
            waiting_ = Waiting::nothing;
            cueDone_ = true;
            advance();
        }
        return;
    }
    backlog_.push_back(std::move(event));
    if (backlog_.size() > maxBacklog) backlog_.pop_front();
}

void ScenarioEngine::advance()
{
    if (waiting_ != Waiting::nothing) return;
    while (index_ < steps_.size() && output_.isOpen()) {
        const ScenarioStep& step = steps_[index_];
        if (step.cue && !cueDone_) {
            if (step.cue->kind == Cue::Kind::delay) {
                waiting_ = Waiting::delay;
                timer_.start(step.cue->delay);
                return;
            }
            while (!backlog_.empty() && !cueDone_) {
                cueDone_ = cueMatches(*step.cue, backlog_.front());
                backlog_.pop_front();
            }
            if (!cueDone_) {
                waiting_ = Waiting::event;
                return;
            }
        }
        cueDone_ = false;
        if (!act(step.action)) return;
        ++index_;
    }
    if (index_ == steps_.size()) {
        log("scenario finished");
        ++index_; // said once
    }
}

bool ScenarioEngine::act(const Action& action)
{
    const std::string& where = steps_[index_].where;
    switch (action.kind) {
    case Action::Kind::none: return true;
    case Action::Kind::send:
        for (const auto& event : action.events) output_.send(event);
        log(where + ": sent " + action.events.front()["type"].get<std::string>() +
            (action.events.size() > 1 ? " and " + std::to_string(action.events.size() - 1) + " more" : ""));
        return true;
    case Action::Kind::audio:
        log(where + ": sending " + std::to_string(action.pcm->size() / bytesPerMs) + " ms of audio");
        audioOffset_ = 0;
        waiting_ = Waiting::audio;
        sendAudioChunk();
        return false;
    case Action::Kind::drop:
        log(where + ": dropping the connection");
        output_.drop();
        return true;
    case Action::Kind::close:
        log(where + ": closing with code " + std::to_string(action.closeCode));
        output_.close(action.closeCode, action.closeReason);
        return true;
    }
    return true;
}

void ScenarioEngine::sendAudioChunk()
{
    const Action& action = steps_[index_].action;
    const size_t chunk = size_t(action.chunkMs) * bytesPerMs;
    do {
        if (!output_.isOpen()) return;
        if (audioOffset_ < action.pcm->size()) {
            const size_t n = std::min(chunk, action.pcm->size() - audioOffset_);
            const QByteArray b64 = QByteArray(action.pcm->data() + audioOffset_, qsizetype(n)).toBase64();
            output_.send({{"type", "response.output_audio.delta"}, {"delta", b64.toStdString()}});
            audioOffset_ += n;
        }
        if (audioOffset_ >= action.pcm->size()) {
            if (action.sendDone) output_.send({{"type", "response.output_audio.done"}});
            waiting_ = Waiting::nothing;
            ++index_;
            advance();
            return;
        }
    } while (action.intervalMs == 0);
    timer_.start(action.intervalMs);
}

} // namespace twk::server
