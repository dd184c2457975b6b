#include "agent/agent_executor.h"

#include "accessibility/character_prefix.h"
#include "agent/action_signature.h"
#include "common/base64.h"
#include "common/log.h"

#include <algorithm>
#include <exception>
#include <span>

namespace twk {
namespace {

constexpr int snapshotLimit = 100;
constexpr const char* stuckSentence =
    "I got stuck repeating the same step without progress, so I stopped. Could you guide me or try rephrasing?";

std::string failureText(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

std::string answerOf(const AgentRound& round) { return round.text.empty() ? "done" : round.text; }

std::string verificationPrompt(const std::string& task, const std::string& snapshot)
{
    return "The task appears complete. Task was: \"" + task +
           "\".\nHere is the CURRENT accessibility snapshot. Read the\nrelevant element's state and confirm \u2014 in "
           "one short\nsentence \u2014 whether the goal is actually achieved\n(e.g. the toggle's value, the field's "
           "contents, the\nselected row). If it did NOT succeed, say plainly\nwhat's wrong. Do NOT take any action; "
           "just give the\nverdict.\n\n--- CURRENT SCREEN ---\n" +
           snapshot;
}

} // namespace

Task<ScreenSnapshot> AgentExecutor::snapshot()
{
    co_await onWorker(s_.accessibility.thread());
    ScreenSnapshot taken = s_.accessibility.snapshotText(snapshotLimit);
    co_await onMain(s_.loop);
    lastMarks.clear();
    for (const auto& mark : taken.marks) lastMarks[mark.id] = mark;
    co_return taken;
}

Task<std::string> AgentExecutor::freshSnapshotText()
{
    auto taking = snapshot();
    ScreenSnapshot taken = co_await std::move(taking);
    co_return std::move(taken.text);
}

Task<std::string> AgentExecutor::run(std::string description)
{
    co_await onMain(s_.loop);
    s_.cancellation.reset();
    AppState& state = s_.state;
    state.status.set(SessionStatus::acting());
    state.agentStepCount.set(0);
    state.agentLastStep.set("");
    state.agentNarrative.set("");
    state.activity.set("");
    state.agentThinking.set(true);
    logLine("[twk/agent] starting task: " + description);

    auto taking = snapshot();
    const ScreenSnapshot screen = co_await std::move(taking);
    std::optional<std::string> screenshot;
    int64_t width = 0;
    int64_t height = 0;
    if (screen.elementCount == 0 && s_.capturer != nullptr) {
        if (const auto image = s_.capturer->captureScreenPNG()) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(image->png.data());
            screenshot = base64Encode(std::span(bytes, image->png.size()));
            width = image->width;
            height = image->height;
        }
    }
    const std::string start = description + "\n\n--- CURRENT SCREEN ---\n" + screen.text;

    std::optional<AgentRound> first;
    std::exception_ptr failure;
    try {
        auto request = s_.backend.agentStart(start, screenshot, width, height);
        first = co_await std::move(request);
    } catch (...) {
        failure = std::current_exception();
    }
    co_await onMain(s_.loop);
    if (!first) {
        const std::string reason = failureText(failure);
        logLine("[twk/agent] start failed: " + reason);
        co_return "agent failed to start: " + reason;
    }
    auto looping = loop(std::move(*first), std::move(description));
    co_return co_await std::move(looping);
}

Task<std::string> AgentExecutor::loop(AgentRound round, std::string task)
{
    AppState& state = s_.state;
    int steps = 0;
    std::vector<std::string> history;
    for (bool fromContinue = false;; fromContinue = true) {
        if (fromContinue) {
            if (steps == maxSteps - 1) {
                resetProgress();
                if (!round.done) co_return "agent reached step limit (" + std::to_string(maxSteps) + ") without finishing";
                const std::string answer = answerOf(round);
                logLine("[twk/agent] done in " + std::to_string(maxSteps) + " steps: " + answer);
                co_return answer;
            }
            ++steps;
        }
        if (s_.cancellation.cancelled()) {
            state.agentLastStep.set("");
            state.agentStepCount.set(0);
            logLine("[twk/agent] cancelled by user");
            releaseInput();
            co_return "stopped";
        }
        if (round.done) {
            auto verifying = verify(std::move(round), task, steps);
            co_return co_await std::move(verifying);
        }

        state.agentStepCount.set(steps + 1);
        if (onProgress) onProgress();
        state.agentThinking.set(false);
        if (!round.text.empty()) {
            const std::string line = characterPrefix(round.text, 140);
            state.agentNarrative.set(line);
            state.agentLastStep.set(line);
        }

        std::vector<AgentToolResult> results;
        for (auto& use : round.toolUses) {
            if (const auto signature = agent::actionSignature(use)) {
                history.push_back(*signature);
                const auto recent = history.end() - std::min<std::ptrdiff_t>(5, std::ssize(history));
                const auto repeats = std::count(recent, history.end(), *signature);
                if (repeats >= 3) {
                    logLine("[twk/agent] stuck \u2014 '" + *signature + "' repeated " + std::to_string(repeats) +
                            "\u00D7, bailing");
                    state.agentLastStep.set("");
                    state.agentStepCount.set(0);
                    releaseInput();
                    co_return stuckSentence;
                }
            }
            auto executing = execute(std::move(use));
            results.push_back(co_await std::move(executing));
        }

        state.agentThinking.set(true);
        state.activity.set("");
        std::optional<AgentRound> next;
        std::exception_ptr failure;
        try {
            auto request = s_.backend.agentContinue(round.sessionId, std::move(results));
            next = co_await std::move(request);
        } catch (...) {
            failure = std::current_exception();
        }
        co_await onMain(s_.loop);
        if (!next) {
            const std::string reason = failureText(failure);
            logLine("[twk/agent] continue failed: " + reason);
            state.agentLastStep.set("");
            releaseInput();
            co_return "agent error: " + reason;
        }
        round = std::move(*next);
    }
}

Task<std::string> AgentExecutor::verify(AgentRound done, const std::string& task, int steps)
{
    logLine("[twk/agent] read-only verification pass");
    s_.state.setActivity("Verifying");
    s_.state.agentNarrative.set("Checking the result before wrapping up.");
    auto taking = freshSnapshotText();
    const std::string screen = co_await std::move(taking);

    std::optional<AgentRound> verdict;
    std::exception_ptr failure;
    try {
        auto request = s_.backend.agentVerify(done.sessionId, verificationPrompt(task, screen), std::nullopt);
        verdict = co_await std::move(request);
    } catch (...) {
        failure = std::current_exception();
    }
    co_await onMain(s_.loop);
    if (!verdict) logLine("[twk/agent] verify failed: " + failureText(failure));
    resetProgress();
    const std::string answer = answerOf(verdict ? *verdict : done);
    logLine("[twk/agent] done in " + std::to_string(steps) + " steps: " + answer);
    co_return answer;
}

void AgentExecutor::resetProgress()
{
    AppState& state = s_.state;
    state.agentLastStep.set("");
    state.agentNarrative.set("");
    state.activity.set("");
    state.agentStepCount.set(0);
    state.agentThinking.set(false);
}

void AgentExecutor::releaseInput() { s_.device.releaseHeldKeys(); }

} // namespace twk
