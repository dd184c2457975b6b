#pragma once

#include "accessibility/accessibility_service.h"
#include "accessibility/input_synthesis.h"
#include "accessibility/mark_actions.h"
#include "app/app_state.h"
#include "backend/backend.h"
#include "backend/wire_records.h"
#include "capture/screen_capturer.h"
#include "common/cancellation_token.h"
#include "common/main_loop.h"
#include "common/task.h"
#include "platform/input.h"
#include "tools/argument_readers.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace twk {

/// Carries out one spoken task on the user's desktop in rounds with the
/// backend's model: the model reads a numbered snapshot of the frontmost
/// window, asks for actions, sees their results, and so on until it says it
/// is done (then one read-only check against a fresh snapshot), the round
/// limit is reached, it repeats itself, the user stops it, or a request
/// fails. Progress goes to `AppState` for the HUD.
///
/// Runs on the main loop: every local action happens there between the
/// awaited requests, hopping to the accessibility thread for element work.
/// One task at a time.
class AgentExecutor {
public:
    struct Services {
        MainLoop& loop;
        AppState& state;
        Backend& backend;
        CancellationToken& cancellation;
        AccessibilityService& accessibility;
        MarkActions& marks;
        InputSynthesis& input;
        /// Released when a task ends early, so nothing stays held down.
        InputDevice& device;
        /// Screenshots; null means none can be taken.
        ScreenCapturer* capturer = nullptr;
    };

    explicit AgentExecutor(const Services& services) : s_(services) {}
    AgentExecutor(const AgentExecutor&) = delete;
    AgentExecutor& operator=(const AgentExecutor&) = delete;

    /// Rounds whose tool uses are executed, at most.
    int maxSteps = 30;
    /// The marks of the agent's latest snapshot, by id.
    std::map<int, MarkedElement> lastMarks;
    /// Called on every processed round: the voice session counts it as
    /// progress, so a long task is not taken for a stalled one.
    std::function<void()> onProgress;

    /// Runs `description` to its end; the sentence for the speech model.
    Task<std::string> run(std::string description);
    /// Performs one tool use of the model; failures become error results.
    Task<AgentToolResult> execute(AgentToolUse use);
    /// Snapshots the frontmost window (at most 100 marks), keeps its marks
    /// in `lastMarks` and answers its text.
    Task<std::string> freshSnapshotText();

private:
    Task<ScreenSnapshot> snapshot();
    Task<std::string> loop(AgentRound round, std::string task);
    Task<std::string> verify(AgentRound done, const std::string& task, int steps);
    /// Clears the agent's fields on `AppState` once a task is over.
    void resetProgress();
    /// Ends a task early: nothing the agent pressed stays down.
    void releaseInput();

    Task<AgentToolResult> clickTool(std::string id, ToolArgs input);
    Task<AgentToolResult> setValueTool(std::string id, ToolArgs input);
    Task<AgentToolResult> menuTool(std::string id, ToolArgs input);
    AgentToolResult screenshotTool(std::string id);
    AgentToolResult markStepTool(std::string id, const ToolArgs& input);
    AgentToolResult doScroll(std::string id, const ToolArgs& input);
    /// The element `id` now, read on the accessibility thread.
    Task<std::string> hintFor(int id);
    std::string target(int id, const std::string& fallback) const;

    Services s_;
};

} // namespace twk
