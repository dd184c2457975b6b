#pragma once

#include "accessibility/input_synthesis.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/x11_clipboard.h"
#include "platform/linux/xtest_input_device.h"
#include "skills/missing_system_services.h"
#include "skills/skills.h"

#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"

namespace twk::test {

/// Real keys, pointer and clipboard on the test desktop, with the skills the
/// input layer asks about the frontmost application.
struct DesktopInputParts {
    explicit DesktopInputParts(DesktopLauncher& launcher = missingDesktopLauncher())
        : skills({.loop = loop, .workspace = workspace, .mediaKeys = mediaKeys, .host = host, .launcher = launcher})
    {
    }

    QtMainLoop loop;
    LinuxWorkspace workspace;
    XTestInputDevice device;
    X11Clipboard clipboard;
    FakeMediaKeys mediaKeys;
    FakeHost host;
    Skills skills;
    CaptureGeometry geometry;
    InputSynthesis input{{loop, device, clipboard, workspace, skills, geometry}};
};

} // namespace twk::test
