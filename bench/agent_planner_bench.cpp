// One local-planner round as tarnwick-server handles it, JSON in and out,
// on a 100-element window snapshot: the start of a task, and a start followed
// by the continue round that reads a fresh snapshot from the tool results.

#include "accessibility/screen_snapshot.h"
#include "agent_endpoint.h"
#include "json_input.h"
#include "local_planner.h"
#include "sqlite_database.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

using namespace twk;
using namespace twk::server;
using nlohmann::json;

const std::string userId = "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c";

std::string screen(bool on)
{
    WindowMarks window{"Settings", "Appearance", {}};
    for (int i = 1; i <= 100; ++i) {
        MarkedElement m;
        m.id = i;
        m.role = i % 3 == 0 ? "AXCheckBox" : i % 3 == 1 ? "AXButton" : "AXTextField";
        m.label = i == 96 ? "Dark mode" : "Setting number " + std::to_string(i);
        if (i % 3 == 0) m.value = i == 96 && on ? "1" : "0";
        window.marks.push_back(std::move(m));
    }
    AppMenus menus{"Settings", {{"File", std::nullopt, {{"New", std::nullopt, {}}, {"Quit", std::nullopt, {}}}}}};
    return renderSnapshot(window, menus);
}

struct Rig {
    QTemporaryDir dir;
    SqliteDatabase db{dir.path().toStdString() + "/bench.sqlite3"};
    // Time moves on 4 s per reading, so that the start rate limit never bites.
    int64_t clockMs = 1'700'000'000'000;
    UsageService usage{db, UsageService::Settings{}, [this] { return clockMs += 4000; }};
    LocalPlannerEngine engine;
    AgentEndpoint endpoint{engine, usage, AgentSessions::Limits{100'000, 100'000, 3'600'000, 3'600'000}};
    std::string startBody = json{{"userId", userId}, {"description", "turn on Dark mode\n\n--- CURRENT SCREEN ---\n" + screen(false)},
                                 {"displayWidth", 0}, {"displayHeight", 0}}.dump();
    std::string onScreen = screen(true);

    /// The answer's body, as the router would send it.
    std::string round(const std::string& path, const std::string& body)
    {
        JsonInput input = parseJsonInput(body);
        const auto answer = path == "start" ? endpoint.start(input.value, userId) : endpoint.next(input.value, userId);
        return answer.now->body;
    }
};

void StartRound(benchmark::State& state)
{
    Rig rig;
    for (auto _ : state) benchmark::DoNotOptimize(rig.round("start", rig.startBody));
}
BENCHMARK(StartRound)->Unit(benchmark::kMicrosecond);

void StartThenContinueRound(benchmark::State& state)
{
    Rig rig;
    for (auto _ : state) {
        const json first = json::parse(rig.round("start", rig.startBody));
        if (first.value("toolUses", json::array()).size() != 2) {
            state.SkipWithError(("unexpected first round: " + first.dump()).c_str());
            break;
        }
        const json body = {{"userId", userId}, {"sessionId", first["sessionId"]},
                           {"toolResults", {{{"tool_use_id", first["toolUses"][0]["id"]}, {"text", "pressed"}, {"isError", false}},
                                            {{"tool_use_id", first["toolUses"][1]["id"]}, {"text", rig.onScreen}, {"isError", false}}}}};
        benchmark::DoNotOptimize(rig.round("continue", body.dump()));
    }
}
BENCHMARK(StartThenContinueRound)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
