#pragma once

#include "app/app_types.h"
#include "app/session_control.h"
#include "backend/backend.h"
#include "common/main_loop.h"
#include "common/observable.h"
#include "platform/settings.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twk {

/// The application's one observable state. Main thread only: other threads
/// hop to the main loop before touching it. Verbosity and voice are read from
/// the settings once, at construction, and written back on every change.
class AppState : public ObservableObject {
public:
    static constexpr std::array<std::string_view, 8> voiceOptions{"marin", "alloy", "ash",   "ballad",
                                                                  "coral", "sage",  "verse", "cedar"};
    static constexpr size_t maxRecentActions = 6;

    /// Without a backend, `refreshStatus` does nothing (tests of the state rules).
    AppState(Settings& settings, MainLoop& loop, Backend* backend = nullptr);
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    /// The session the power switch drives; set once by the composition root.
    void attachSession(SessionControl* session) { session_ = session; }

    void setEnabled(bool on);
    void setActivity(const std::string& text);
    void setPlan(const std::vector<std::string>& texts);
    void markStep(int index, StepState state, const std::string& detail);
    void completeCurrentStep();

    /// Fetches the usage figures and publishes them on the main loop; a
    /// failed fetch changes nothing.
    void refreshStatus();
    /// `refreshStatus` for a caller that waits until the figures are in (or the fetch failed).
    Task<void> refreshStatusAndWait();
    /// Counts `remainingSeconds` down once a second (display only, never
    /// below 0); restarting replaces the running countdown.
    void startSessionTick();

    Published<bool> isEnabled{*this, false};
    Published<SessionStatus> status{*this, SessionStatus::off()};
    Published<bool> micGranted{*this, false};
    Published<bool> accessibilityGranted{*this, false};
    Published<bool> screenRecordingGranted{*this, false};
    Published<std::string> lastUserUtterance{*this, ""};
    Published<std::string> lastAssistantUtterance{*this, ""};
    Published<int> agentStepCount{*this, 0};
    Published<std::string> agentLastStep{*this, ""};
    Published<std::string> agentNarrative{*this, ""};
    Published<bool> agentThinking{*this, false};
    Published<std::string> activity{*this, ""};
    Published<std::vector<std::string>> recentActions{*this, {}};
    Published<std::vector<TaskStep>> taskSteps{*this, {}};
    Published<int> currentStepIndex{*this, 0};
    Published<double> remainingSeconds{*this, 0};
    Published<double> quotaSeconds{*this, 0};
    Published<std::string> plan{*this, ""};
    Published<double> resetAt{*this, 0};
    Published<std::optional<bool>> linked{*this, std::nullopt};
    Published<std::optional<std::string>> email{*this, std::nullopt};
    Published<Verbosity> verbosity;
    Published<std::string> voice;
    /// Why the global shortcut could not be taken (already grabbed by
    /// another program, no way to grab on this desktop); empty when it works.
    Published<std::string> shortcutProblem{*this, ""};

    std::optional<TimerHandle> sessionTickTimer;

private:
    Settings& settings_;
    MainLoop& loop_;
    Backend* backend_;
    SessionControl* session_ = nullptr;
    // Work that may finish after this object is gone checks this first.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace twk
