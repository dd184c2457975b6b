#pragma once

#include "app/app_state.h"
#include "accessibility/accessibility_service.h"
#include "accessibility/input_synthesis.h"
#include "accessibility/mark_actions.h"
#include "agent/agent_executor.h"
#include "app/app_types.h"
#include "bridge/chrome_bridge.h"
#include "capture/screen_capturer.h"
#include "common/cancellation_token.h"
#include "common/main_loop.h"
#include "common/worker_pool.h"
#include "common/task.h"
#include "platform/host.h"
#include "platform/workspace.h"
#include "skills/skills.h"
#include "tools/tool_result.h"
#include "tools/tool_routes.h"

#include <nlohmann/json.hpp>

#include <string>

namespace twk {

/// Turns the speech model's function calls into results: parses the
/// arguments leniently, routes the name to the subsystem that owns it and
/// answers with a JSON text. Never throws to its caller: every failure
/// becomes {"ok":false,...}. Also supplies the tool catalogue and the
/// session's instructions.
class ToolDispatcher {
public:
    using Result = ToolResult;

    /// What the routes act on; all outlive the dispatcher.
    struct Services {
        MainLoop& loop;
        AppState& state;
        CancellationToken& cancellation;
        Host& host;
        Workspace& workspace;
        Skills& skills;
        /// Where routes run work that must not hold up the main thread.
        WorkerPool& workers;
        /// The browser extension's connection, for web tasks.
        ChromeBridge& bridge;
        /// Keys, typing and scrolling on the desktop; without it those tools have no route.
        InputSynthesis* input = nullptr;
        /// Reading screens and menus; their routes are left out without it.
        AccessibilityService* accessibility = nullptr;
        /// Acting on marked elements; click_mark and fill_mark are left out without it.
        MarkActions* marks = nullptr;
        /// Screenshots; inspect_screen is left out without it (and without accessibility).
        ScreenCapturer* capturer = nullptr;
        /// The computer-use agent behind do_task; the route is left out without it.
        AgentExecutor* agent = nullptr;
    };

    explicit ToolDispatcher(const Services& services);
    ToolDispatcher(const ToolDispatcher&) = delete;
    ToolDispatcher& operator=(const ToolDispatcher&) = delete;

    /// The tools offered to the speech model.
    static const nlohmann::json& schema();
    /// The session's instructions, with a live context taken now.
    std::string systemPrompt(Verbosity verbosity) const;
    std::string liveContext() const;

    /// Runs the tool `name` with the arguments text `argsJson`; whatever
    /// thread the route ends on, the caller continues on the main thread.
    Task<Result> run(std::string name, std::string argsJson) const;
    /// Whether `name` has a route; `run` answers "unknown tool" for the rest.
    bool hasRoute(const std::string& name) const;
    /// The status-line text while `name` runs.
    static std::string activityLabel(const std::string& name, const std::string& argsJson);

private:
    Host& host_;
    MainLoop& loop_;
    ToolRoutes routes_;
};

} // namespace twk
