#pragma once

// The objects every run of the program that acts needs, built once, in
// dependency order, after the Qt application object exists.

#include "app/app_state.h"
#include "app/service_config.h"
#include "backend/backend.h"
#include "common/cancellation_token.h"
#include "common/worker_pool.h"
#include "platform/linux/linux_host.h"
#include "platform/linux/mpris_media_keys.h"
#include "platform/linux/qt_http_client.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/qt_settings.h"
#include "platform/workspace.h"
#include "skills/skills.h"
#include "tools/tool_dispatcher.h"

namespace twk {

/// No running applications are known until the desktop's window list is
/// wired in; list_apps answers with an empty list meanwhile.
class NoRunningApplications : public Workspace {
public:
    std::vector<RunningApplication> runningApplications() override { return {}; }
    std::optional<int> frontmostApplicationPid() override { return std::nullopt; }
    bool activate(int) override { return false; }
    bool terminate(int) override { return false; }
    std::vector<InstalledApplication> installedApplications() override { return {}; }
    std::optional<InstalledApplication> applicationWithId(const std::string&) override { return std::nullopt; }
    void launch(const InstalledApplication&, LaunchCompletion completion) override { completion("not available"); }
    bool openURL(const std::string&) override { return false; }
};

struct Core {
    explicit Core(const ServiceConfig& config) : backend(http, settings, config.backendOrigin) {}

    QtMainLoop loop;
    QtSettings settings;
    CancellationToken cancellation;
    WorkerPool workers{4};
    QtHttpClient http;
    Backend backend;
    AppState state{settings, loop, &backend};
    LinuxHost host;
    NoRunningApplications workspace;
    MprisMediaKeys mediaKeys;
    Skills skills{{loop, workspace, mediaKeys, host}};
    ToolDispatcher tools{{loop, state, cancellation, host, workspace, skills, workers}};
};

} // namespace twk
