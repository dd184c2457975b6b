#pragma once

#include "voice_activity_detector.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace twk::server {

/// What a scenario step waits for before it acts.
struct Cue {
    enum class Kind { message, vad, delay };
    Kind kind = Kind::message;
    nlohmann::json pattern;                            // message: members the client message must hold
    VadEvent::Kind vad = VadEvent::Kind::speechStarted; // vad
    std::chrono::milliseconds delay{0};                // delay, counted from the previous step
};

/// What a step does once its cue has come.
struct Action {
    enum class Kind { none, send, audio, drop, close };
    Kind kind = Kind::none;
    std::vector<nlohmann::json> events;       // send: sent as they are, in order
    std::shared_ptr<const std::string> pcm;   // audio: PCM16 24 kHz mono samples
    int chunkMs = 100;                        // audio: milliseconds of sound per delta
    int intervalMs = 0;                       // audio: pause between deltas (0: all at once)
    bool sendDone = true;                     // audio: end with "response.output_audio.done"
    int closeCode = 1000;                     // close
    std::string closeReason;                  // close
};

struct ScenarioStep {
    std::string where; // "connections[0][2]": for log lines
    std::optional<Cue> cue;
    Action action;
};

/// A script of realtime replies. Connection n (from 1, counted over the
/// server's run) plays list n; connections past the last list play the last.
struct Scenario {
    std::vector<std::vector<ScenarioStep>> connections;

    const std::vector<ScenarioStep>& stepsFor(int connectionNumber) const;
};

/// Something the scenario engine saw, which a cue may be waiting for.
struct CueEvent {
    std::optional<nlohmann::json> message; // a client message
    std::optional<VadEvent::Kind> vad;     // a detector event
};

/// Whether `event` satisfies a message or vad cue.
bool cueMatches(const Cue& cue, const CueEvent& event);
/// Whether `value` holds every member of `pattern` (objects recursively; anything else must be equal).
bool jsonContains(const nlohmann::json& value, const nlohmann::json& pattern);

/// Checks a scenario document and loads its audio files (paths relative to
/// `baseDir`). Throws twk::Error ("twk.server.scenario") naming the step at fault.
Scenario parseScenario(const nlohmann::json& document, const std::string& baseDir);
Scenario loadScenario(const std::string& path);

} // namespace twk::server
