#pragma once

#include "app/app_state.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_websocket_listener.h"
#include "fakes/memory_settings.h"
#include "tools/tool_dispatcher.h"

namespace twk::test {

/// What every tool dispatcher needs besides the services a test is about:
/// settings, state, host, skills, workers and a bridge nobody connects to.
struct DispatcherParts {
    DispatcherParts(MainLoop& mainLoop, Workspace& files) : loop(mainLoop), workspace(files) {}

    /// The required services; a test adds the optional ones it exercises.
    ToolDispatcher::Services services() { return {loop, state, cancellation, host, workspace, skills, workers, bridge}; }

    MainLoop& loop;
    Workspace& workspace;
    MemorySettings settings;
    AppState state{settings, loop};
    CancellationToken cancellation;
    FakeHost host;
    FakeMediaKeys mediaKeys;
    Skills skills{{loop, workspace, mediaKeys, host}};
    WorkerPool workers{1};
    FakeWebSocketListener bridgeListener;
    ChromeBridge bridge{loop, bridgeListener, ExtensionOriginPolicy()};
};

} // namespace twk::test
