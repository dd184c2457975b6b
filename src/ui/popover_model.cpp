#include "ui/popover_model.h"

#include <algorithm>
#include <cmath>
#include <charconv>

namespace twk::ui {

std::string minutesDisplay(double remainingSeconds)
{
    const double minutes = remainingSeconds / 60.0;
    if (minutes >= 10) return std::to_string(static_cast<long long>(std::trunc(minutes)));
    // Not printf: Qt sets the C locale from the environment, which would give "1,5".
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, minutes, std::chars_format::fixed, 1).ptr;
    return std::string(text, end);
}

std::string resetText(double resetAtMillis, const std::function<std::string(std::int64_t)>& monthDay)
{
    if (!(resetAtMillis > 0)) return "";
    return "resets " + monthDay(static_cast<std::int64_t>(resetAtMillis / 1000));
}

UsageBar usageBar(double remainingSeconds, double quotaSeconds)
{
    const double fraction = quotaSeconds > 0 ? std::clamp(remainingSeconds / quotaSeconds, 0.0, 1.0) : 0.0;
    using Fill = UsageBar::Fill;
    return {fraction, fraction <= 0 ? Fill::empty : fraction < 0.25 ? Fill::low : Fill::plenty};
}

std::vector<PermissionBlock> permissionBlocks(bool mic, bool accessibility, bool screenRecording)
{
    std::vector<PermissionBlock> blocks;
    if (!mic) blocks.push_back(PermissionBlock::microphone);
    if (!accessibility) blocks.push_back(PermissionBlock::accessibility);
    if (!screenRecording) blocks.push_back(PermissionBlock::screenRecording);
    return blocks;
}

IdentityRow identityRow(const std::optional<bool>& linked, const std::optional<std::string>& email)
{
    using Link = IdentityRow::Link;
    if (!linked) return {"checking sign-in…", "", Link::none, false};
    if (!*linked) return {"anonymous · 15 free min / month", "sign in to sync", Link::signIn, false};
    const bool hasEmail = email && !email->empty();
    return {hasEmail ? *email : "signed in", "manage", Link::dashboard, true};
}

StatusLine popoverStatusLine(const SessionStatus& status, int agentStepCount, const std::string& agentLastStep)
{
    StatusLine line;
    // Unlike the HUD, the popover keeps connecting gray: only a live session is coloured.
    line.tone = status.kind == SessionStatus::Kind::connecting ? Tone::gray : statusTone(status);
    switch (status.kind) {
    case SessionStatus::Kind::off: line.text = "off"; break;
    case SessionStatus::Kind::connecting: line.text = "connecting…"; break;
    case SessionStatus::Kind::listening: line.text = "listening"; break;
    case SessionStatus::Kind::acting: line.text = "acting"; break;
    case SessionStatus::Kind::error: line.text = status.message; break;
    }
    if (agentStepCount >= 1) {
        line.agentSuffix = "step " + std::to_string(agentStepCount);
        if (!agentLastStep.empty()) line.agentSuffix += " · " + agentLastStep;
    }
    return line;
}

PopoverSections popoverSections(const AppState& s, bool settingsOpen)
{
    PopoverSections sections;
    sections.settings = settingsOpen;
    sections.micSwitchNote = settingsOpen && s.isEnabled();
    sections.voicePickerEnabled = s.verbosity() != Verbosity::silent;
    sections.transcript = !s.lastUserUtterance().empty() || !s.lastAssistantUtterance().empty();
    return sections;
}

} // namespace twk::ui
