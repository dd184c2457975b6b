#include "scenario.h"

#include "common/error.h"
#include "wav_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

namespace twk::server {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& why)
{
    throw Error("twk.server.scenario", 1, where.empty() ? why : where + ": " + why);
}

int intIn(const json& v, const std::string& where, int lo, int hi)
{
    if (!v.is_number_integer() || v.get<int64_t>() < lo || v.get<int64_t>() > hi)
        fail(where, "expected an integer from " + std::to_string(lo) + " to " + std::to_string(hi));
    return int(v.get<int64_t>());
}

Cue parseCue(const json& on, const std::string& where)
{
    Cue cue;
    if (on.is_string()) {
        cue.pattern = {{"type", on}};
        return cue;
    }
    if (!on.is_object() || on.size() != 1) fail(where, "expected a message type or one of {\"message\"}, {\"vad\"}, {\"delay\"}");
    const std::string key = on.begin().key();
    const json& value = on.begin().value();
    if (key == "message") {
        if (value.is_string())
            cue.pattern = {{"type", value}};
        else if (value.is_object() && value.contains("type") && value["type"].is_string())
            cue.pattern = value;
        else
            fail(where + ".message", "expected a message type or an object with a string \"type\"");
    } else if (key == "vad") {
        cue.kind = Cue::Kind::vad;
        if (value == "speech_started")
            cue.vad = VadEvent::Kind::speechStarted;
        else if (value == "speech_stopped")
            cue.vad = VadEvent::Kind::speechStopped;
        else
            fail(where + ".vad", "expected \"speech_started\" or \"speech_stopped\"");
    } else if (key == "delay") {
        cue.kind = Cue::Kind::delay;
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0 || value.get<double>() > 3600)
            fail(where + ".delay", "expected seconds from 0 to 3600");
        cue.delay = std::chrono::milliseconds(std::llround(value.get<double>() * 1000));
    } else {
        fail(where, "unknown cue \"" + key + "\"");
    }
    return cue;
}

void parseSend(const json& value, const std::string& where, Action& action)
{
    const json list = value.is_array() ? value : json::array({value});
    if (list.empty()) fail(where, "nothing to send");
    for (size_t i = 0; i < list.size(); ++i) {
        const json& event = list[i];
        if (!event.is_object() || !event.contains("type") || !event["type"].is_string())
            fail(value.is_array() ? where + "[" + std::to_string(i) + "]" : where, "an event is an object with a string \"type\"");
        action.events.push_back(event);
    }
    action.kind = Action::Kind::send;
}

void parseAudio(const json& value, const std::string& where, const std::string& baseDir, Action& action)
{
    const json given = value.is_string() ? json{{"file", value}} : value;
    if (!given.is_object() || !given.contains("file") || !given["file"].is_string())
        fail(where, "expected a WAV file name or an object with \"file\"");
    for (const auto& [k, v] : given.items()) {
        if (k == "file") continue;
        if (k == "chunkMs")
            action.chunkMs = intIn(v, where + ".chunkMs", 10, 10000);
        else if (k == "intervalMs")
            action.intervalMs = intIn(v, where + ".intervalMs", 0, 60000);
        else if (k == "done") {
            if (!v.is_boolean()) fail(where + ".done", "expected true or false");
            action.sendDone = v.get<bool>();
        } else
            fail(where, "unknown audio option \"" + k + "\"");
    }
    std::filesystem::path file = given["file"].get<std::string>();
    if (file.is_relative()) file = std::filesystem::path(baseDir) / file;
    try {
        action.pcm = std::make_shared<const std::string>(readPcm16MonoWav(file.string()));
    } catch (const Error& e) {
        fail(where, e.description());
    }
    action.kind = Action::Kind::audio;
}

void parseClose(const json& value, const std::string& where, Action& action)
{
    const json given = value.is_number_integer() ? json{{"code", value}} : value;
    if (!given.is_object() || !given.contains("code")) fail(where, "expected a close code or {\"code\", \"reason\"}");
    action.closeCode = intIn(given["code"], where + ".code", 1000, 4999);
    if (action.closeCode == 1005 || action.closeCode == 1006 || action.closeCode == 1015 ||
        (action.closeCode > 1015 && action.closeCode < 3000))
        fail(where + ".code", "code " + std::to_string(action.closeCode) + " cannot be sent in a close frame");
    if (given.contains("reason")) {
        if (!given["reason"].is_string() || given["reason"].get<std::string>().size() > 123)
            fail(where + ".reason", "expected a text of at most 123 bytes");
        action.closeReason = given["reason"];
    }
    action.kind = Action::Kind::close;
}

ScenarioStep parseStep(const json& step, const std::string& where, const std::string& baseDir)
{
    if (!step.is_object()) fail(where, "a step is an object");
    ScenarioStep out;
    out.where = where;
    static const std::set<std::string> actions{"send", "audio", "drop", "close"};
    for (const auto& [key, value] : step.items()) {
        const std::string at = where + "." + key;
        if (key == "comment") continue;
        if (key == "on") {
            out.cue = parseCue(value, at);
            continue;
        }
        if (!actions.count(key)) fail(where, "unknown key \"" + key + "\"");
        if (out.action.kind != Action::Kind::none) fail(where, "a step has at most one action");
        if (key == "send")
            parseSend(value, at, out.action);
        else if (key == "audio")
            parseAudio(value, at, baseDir, out.action);
        else if (key == "close")
            parseClose(value, at, out.action);
        else {
            if (value != true) fail(at, "expected true");
            out.action.kind = Action::Kind::drop;
        }
    }
    if (!out.cue && out.action.kind == Action::Kind::none) fail(where, "a step needs a cue (\"on\") or an action");
    return out;
}

std::vector<ScenarioStep> parseSteps(const json& steps, const std::string& where, const std::string& baseDir)
{
    if (!steps.is_array()) fail(where, "expected a list of steps");
    std::vector<ScenarioStep> out;
    for (size_t i = 0; i < steps.size(); ++i) out.push_back(parseStep(steps[i], where + "[" + std::to_string(i) + "]", baseDir));
    return out;
}

} // namespace

const std::vector<ScenarioStep>& Scenario::stepsFor(int connectionNumber) const
{
    const size_t index = connectionNumber < 1 ? 0 : size_t(connectionNumber - 1);
    return connections.at(std::min(index, connections.size() - 1));
}

bool jsonContains(const json& value, const json& pattern)
{
    if (!pattern.is_object()) return value == pattern;
    if (!value.is_object()) return false;
    for (const auto& [key, expected] : pattern.items()) {
        const auto it = value.find(key);
        if (it == value.end() || !jsonContains(*it, expected)) return false;
    }
    return true;
}

bool cueMatches(const Cue& cue, const CueEvent& event)
{
    switch (cue.kind) {
    case Cue::Kind::message: return event.message && jsonContains(*event.message, cue.pattern);
    case Cue::Kind::vad: return event.vad == cue.vad;
    case Cue::Kind::delay: return false;
    }
    return false;
}

Scenario parseScenario(const json& document, const std::string& baseDir)
{
    if (!document.is_object()) fail("", "a scenario is a JSON object with \"steps\" or \"connections\"");
    Scenario scenario;
    for (const auto& [key, value] : document.items()) {
        if (key == "comment" || key == "description") continue;
        if (key == "steps")
            scenario.connections.push_back(parseSteps(value, "steps", baseDir));
        else if (key == "connections") {
            if (!value.is_array() || value.empty()) fail("connections", "expected a non-empty list of step lists");
            for (size_t i = 0; i < value.size(); ++i)
                scenario.connections.push_back(parseSteps(value[i], "connections[" + std::to_string(i) + "]", baseDir));
        } else
            fail("", "unknown key \"" + key + "\"");
    }
    if (scenario.connections.empty()) fail("", "no \"steps\" or \"connections\"");
    if (document.contains("steps") && document.contains("connections")) fail("", "give either \"steps\" or \"connections\", not both");
    return scenario;
}

Scenario loadScenario(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("twk.server.scenario", 2, "cannot read " + path);
    json document = json::parse(in, nullptr, false);
    if (document.is_discarded()) throw Error("twk.server.scenario", 3, path + ": not valid JSON");
    try {
        return parseScenario(document, std::filesystem::path(path).parent_path().string());
    } catch (const Error& e) {
        throw Error("twk.server.scenario", e.code(), path + ": " + e.description());
    }
}

} // namespace twk::server
