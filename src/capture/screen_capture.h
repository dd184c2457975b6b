#pragma once

#include "accessibility/capture_geometry.h"
#include "capture/debug_screenshots.h"
#include "capture/screen_capturer.h"
#include "platform/screen.h"
#include "platform/workspace.h"

#include <chrono>
#include <functional>

namespace twk {

/// Screenshots of the display the user works on, shrunk to at most 1280
/// pixels along the longer edge, optionally with numbered badges over
/// marked elements, as PNG. Each successful capture records its display's
/// bounds and image scale in `geometry` and keeps a copy in the debug
/// folder. Callable from any thread, one capture at a time.
class ScreenCapture : public ScreenCapturer {
public:
    struct Services {
        Screen& screen;
        Workspace& workspace;
        CaptureGeometry& geometry;
        std::filesystem::path debugDir;
        std::function<std::chrono::system_clock::time_point()> clock = std::chrono::system_clock::now;
    };

    explicit ScreenCapture(Services services)
        : s_(std::move(services)), debug_(s_.debugDir)
    {
    }

    std::optional<CapturedImage> captureScreenPNG() override;
    std::optional<CapturedImage> captureWithMarks(const std::vector<MarkedElement>& marks) override;

private:
    struct Shot;
    /// Display choice, capture and downscale; records the geometry.
    std::optional<Shot> takeShot(bool logIt);
    std::optional<CapturedImage> finish(Shot& shot);

    Services s_;
    DebugScreenshots debug_;
};

} // namespace twk
