#include "app/app_state.h"

#include "common/log.h"

#include <algorithm>

namespace twk {
namespace {

constexpr const char* voiceKey = "twk.voice";
constexpr const char* verbosityKey = "twk.verbosity";

Verbosity storedVerbosity(const Settings& settings)
{
    const auto raw = settings.string(verbosityKey);
    return raw ? verbosityFromRaw(*raw).value_or(Verbosity::brief) : Verbosity::brief;
}

std::string trimmed(const std::string& text)
{
    // White space and line breaks, as the activity line shows neither at its ends.
    const auto isSpace = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
    auto end = std::find_if_not(text.rbegin(), std::make_reverse_iterator(begin), isSpace).base();
    return std::string(begin, end);
}

} // namespace

AppState::AppState(Settings& settings, MainLoop& loop, Backend* backend)
    : verbosity(*this, storedVerbosity(settings),
                [&settings](const Verbosity& v) { settings.setString(verbosityKey, std::string(rawValue(v))); }),
      voice(*this, settings.string(voiceKey).value_or("marin"),
            [&settings](const std::string& v) { settings.setString(voiceKey, v); }),
      settings_(settings),
      loop_(loop),
      backend_(backend)
{
}

AppState::~AppState()
{
    if (sessionTickTimer) sessionTickTimer->invalidate();
}

void AppState::setEnabled(bool on)
{
    isEnabled.set(on);
    lastUserUtterance.set("");
    lastAssistantUtterance.set("");
    activity.set("");
    agentNarrative.set("");
    recentActions.set({});
    taskSteps.set({});
    agentThinking.set(false);
    currentStepIndex.set(0);
    if (session_ == nullptr) return;
    if (on)
        session_->start();
    else
        session_->stop();
}

void AppState::setActivity(const std::string& text)
{
    const std::string line = trimmed(text);
    activity.set(line);
    if (line.empty()) return;
    const auto& recent = recentActions();
    if (!recent.empty() && recent.back() == line) return;
    auto next = recent;
    next.push_back(line);
    if (next.size() > maxRecentActions) next.erase(next.begin(), next.end() - maxRecentActions);
    recentActions.set(std::move(next));
}

void AppState::setPlan(const std::vector<std::string>& texts)
{
    std::vector<TaskStep> steps;
    steps.reserve(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) steps.push_back({static_cast<int>(i), texts[i], StepState::pending, ""});
    taskSteps.set(std::move(steps));
    currentStepIndex.set(0);
}

void AppState::markStep(int index, StepState state, const std::string& detail)
{
    if (index < 0 || static_cast<size_t>(index) >= taskSteps().size()) return;
    auto steps = taskSteps();
    steps[static_cast<size_t>(index)].state = state;
    if (!detail.empty()) steps[static_cast<size_t>(index)].detail = detail;
    taskSteps.set(std::move(steps));
    if (state == StepState::doing) currentStepIndex.set(index);
}

void AppState::completeCurrentStep()
{
    const int index = currentStepIndex();
    if (index < 0 || static_cast<size_t>(index) >= taskSteps().size()) return;
    auto steps = taskSteps();
    steps[static_cast<size_t>(index)].state = StepState::done;
    const size_t next = static_cast<size_t>(index) + 1;
    if (next < steps.size()) steps[next].state = StepState::doing;
    taskSteps.set(std::move(steps));
    currentStepIndex.set(index + 1);
}


namespace {

// A free function, not a member: the fetch may finish after the state is gone.
Task<void> refreshStatusTask(Backend& backend, AppState* state, std::weak_ptr<bool> alive)
{
    // A failed refresh leaves every figure as it was.
    Status status;
    std::optional<std::string> failure;
    try {
        status = co_await backend.fetchStatus();
    } catch (const std::exception& e) {
        failure = e.what();
        if (failure->empty()) failure = "the backend refused it"; // a status other than 2xx carries no text
    } catch (...) {
        failure = "unknown error";
    }
    if (failure) {
        logLine("[twk] usage refresh from " + backend.baseURL() + " failed: " + *failure);
        co_return;
    }
    if (alive.expired()) co_return;
    state->plan.set(status.plan);
    state->quotaSeconds.set(status.quotaSeconds);
    state->remainingSeconds.set(status.remainingSeconds);
    state->resetAt.set(status.resetAt);
    state->linked.set(status.linked);
    state->email.set(status.email);
}

} // namespace

void AppState::refreshStatus()
{
    if (backend_ == nullptr) return;
    spawn(loop_, refreshStatusTask(*backend_, this, alive_));
}

Task<void> AppState::refreshStatusAndWait()
{
    if (backend_ == nullptr) co_return;
    auto refresh = refreshStatusTask(*backend_, this, alive_);
    co_await std::move(refresh);
}

void AppState::startSessionTick()
{
    if (sessionTickTimer) sessionTickTimer->invalidate();
    sessionTickTimer = loop_.every(seconds(1.0), [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired()) return;
        remainingSeconds.set(std::max(remainingSeconds() - 1, 0.0));
    });
}

} // namespace twk
