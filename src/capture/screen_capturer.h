#pragma once

#include "accessibility/marked_element.h"

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One encoded screenshot: PNG bytes and the image's size in pixels after
/// any downscaling.
struct CapturedImage {
    std::string png;
    int width = 0;
    int height = 0;
};

/// Screenshots of the display the user works on. Each successful capture
/// also updates the capture geometry that clicks at screenshot pixels read,
/// so callers issue captures and such clicks one at a time.
///
/// Calls block for the capture (tens of milliseconds) and run on the
/// caller's thread; the owner of the implementation says which thread that
/// must be.
class ScreenCapturer {
public:
    virtual ~ScreenCapturer() = default;

    /// Plain screenshot; nothing when no display can be captured.
    virtual std::optional<CapturedImage> captureScreenPNG() = 0;
    /// Screenshot with a numbered badge over every mark whose centre lies
    /// on the captured display.
    virtual std::optional<CapturedImage> captureWithMarks(const std::vector<MarkedElement>& marks) = 0;
};

} // namespace twk
