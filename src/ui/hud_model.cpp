#include "ui/hud_model.h"

#include <algorithm>

namespace twk::ui {

using Kind = SessionStatus::Kind;

namespace {

constexpr int streamRowHeight = 22;
constexpr int maxStreamRows = 3;
constexpr double singleRowOpacity = 0.51;

const std::string youPrefix = "you · ";

// First step that is under way, else the one the index points at, kept
// inside the plan (the index runs one past the end once all are done).
const TaskStep& currentStep(const std::vector<TaskStep>& steps, int index)
{
    for (const auto& step : steps)
        if (step.state == StepState::doing) return step;
    const int last = static_cast<int>(steps.size()) - 1;
    return steps[static_cast<size_t>(std::clamp(index, 0, last))];
}

} // namespace

HudLayout hudLayout(bool enabled, size_t stepCount)
{
    if (!enabled) return HudLayout::offHint;
    return stepCount > 0 ? HudLayout::hero : HudLayout::singleLine;
}

Size hudSize(bool enabled, size_t stepCount, size_t recentCount)
{
    switch (hudLayout(enabled, stepCount)) {
    case HudLayout::offHint: return {panelWidthCompact, 72};
    case HudLayout::singleLine: return {panelWidthMedium, 96};
    case HudLayout::hero:
        if (recentCount == 0) return {panelWidthLarge, 240};
        return {panelWidthLarge,
                static_cast<int>(std::min<size_t>(recentCount, maxStreamRows)) * streamRowHeight + 20 + 180 + 60};
    }
    return {panelWidthCompact, 72};
}

Point hudOrigin(const Rect& available, Size size)
{
    return {available.x + available.width - size.width - hudMargin, available.y + hudMargin};
}

std::string hudSubtitle(const AppState& s)
{
    const auto& status = s.status();
    if (status.kind == Kind::error) return status.message;
    if (s.agentStepCount() >= 1 && !s.agentNarrative().empty()) return s.agentNarrative();
    if (!s.lastUserUtterance().empty() && s.taskSteps().empty() && s.agentStepCount() == 0)
        return youPrefix + s.lastUserUtterance();
    if (status.kind == Kind::listening) return "say a command…";
    if (status.kind == Kind::connecting) return "starting up…";
    return "";
}

SingleLine hudSingleLine(const AppState& s)
{
    if (!s.activity().empty()) return {s.activity(), true, false};
    if (s.agentThinking()) return {"Thinking", true, false};
    if (s.agentStepCount() >= 1 && !s.agentNarrative().empty()) return {s.agentNarrative(), true, false};
    if (!s.lastAssistantUtterance().empty()) return {s.lastAssistantUtterance(), false, false};
    if (!s.lastUserUtterance().empty()) return {youPrefix + s.lastUserUtterance(), false, true};
    switch (s.status().kind) {
    case Kind::connecting: return {"starting up…", false, true};
    case Kind::listening: return {"say a command…", false, true};
    case Kind::error: return {s.status().message, false, true};
    case Kind::off:
    case Kind::acting: break;
    }
    return {"", false, true};
}

Hero hudHero(const AppState& s)
{
    const auto& steps = s.taskSteps();
    if (steps.empty()) return {};
    const int n = static_cast<int>(steps.size());
    const int i = std::min(s.currentStepIndex() + 1, n);
    const TaskStep& step = currentStep(steps, s.currentStepIndex());
    Hero hero;
    hero.label = "STEP " + std::to_string(i) + " OF " + std::to_string(n);
    hero.stepText = step.text;
    hero.thinking = s.agentThinking();
    if (!hero.thinking) hero.liveAction = !s.activity().empty() ? s.activity() : step.detail;
    return hero;
}

std::vector<StreamRow> hudActionStream(const std::vector<std::string>& recent)
{
    const size_t n = std::min<size_t>(recent.size(), maxStreamRows);
    std::vector<StreamRow> rows;
    for (size_t i = 0; i < n; ++i) {
        const double opacity = n < 2 ? singleRowOpacity
                                     : 0.6 * (0.35 + 0.55 * static_cast<double>(i) / static_cast<double>(n - 1));
        rows.push_back({recent[recent.size() - n + i], opacity});
    }
    return rows;
}

std::vector<Pill> hudPills(const std::vector<TaskStep>& steps)
{
    std::vector<Pill> pills;
    for (size_t i = 0; i < steps.size(); ++i) {
        PillEmphasis emphasis = PillEmphasis::dim;
        switch (steps[i].state) {
        case StepState::pending: emphasis = PillEmphasis::dim; break;
        case StepState::doing: emphasis = PillEmphasis::highlighted; break;
        case StepState::done: emphasis = PillEmphasis::normal; break;
        case StepState::failed: emphasis = PillEmphasis::red; break;
        }
        pills.push_back({static_cast<int>(i) + 1, steps[i].state, emphasis});
    }
    return pills;
}

int nextDotCount(int count)
{
    return count < 3 ? count + 1 : 1;
}

} // namespace twk::ui
