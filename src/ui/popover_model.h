#pragma once

// What the popover shows, derived from the application state: the usage
// figures, the identity row, the status line and which sections appear.

#include "app/app_state.h"
#include "ui/status_style.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace twk::ui {

/// Whole minutes from 10 up, else one decimal (599 s reads "10.0").
std::string minutesDisplay(double remainingSeconds);

/// "resets " and the reset day, or "" when no reset time is known.
/// `monthDay` formats seconds since the Unix epoch in the user's locale.
std::string resetText(double resetAtMillis, const std::function<std::string(std::int64_t)>& monthDay);

struct UsageBar {
    double fraction = 0; // 0 ... 1 of the track
    enum class Fill { empty, low, plenty } fill = Fill::empty;
};
UsageBar usageBar(double remainingSeconds, double quotaSeconds);

enum class PermissionBlock { microphone, accessibility, screenRecording };
std::vector<PermissionBlock> permissionBlocks(bool mic, bool accessibility, bool screenRecording);

struct IdentityRow {
    std::string text;
    std::string linkLabel; // empty: no link
    enum class Link { none, signIn, dashboard } link = Link::none;
    bool signedIn = false; // leading check mark
};
IdentityRow identityRow(const std::optional<bool>& linked, const std::optional<std::string>& email);

struct StatusLine {
    std::string text; // shown upper-cased
    Tone tone = Tone::gray;
    std::string agentSuffix; // "step N" and the last step, or ""
};
StatusLine popoverStatusLine(const SessionStatus& status, int agentStepCount, const std::string& agentLastStep);

/// The parts of the popover that come and go with the state.
struct PopoverSections {
    bool settings = false;       // microphone and voice rows
    bool micSwitchNote = false;  // switching restarts the running session
    bool voicePickerEnabled = true;
    bool transcript = false;
};
PopoverSections popoverSections(const AppState& state, bool settingsOpen);

} // namespace twk::ui
