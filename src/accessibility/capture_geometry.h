#pragma once

#include "platform/input.h"

namespace twk {

/// Where the last screenshot came from: the captured display's bounds in
/// global screen points and the image pixels per point. The screen capture
/// sets it; clicks at screenshot pixels read it. Before any capture the
/// mapping is the identity.
struct CaptureGeometry {
    struct Bounds {
        double x = 0, y = 0, width = 0, height = 0;
    };
    struct Scale {
        double x = 1, y = 1;
    };
    Bounds lastBounds;
    Scale lastImageScale;

    /// The global point under pixel (x, y) of the last screenshot. A scale
    /// that is not positive counts as 1.
    ScreenPoint toScreen(double x, double y) const
    {
        const double sx = lastImageScale.x > 0 ? lastImageScale.x : 1;
        const double sy = lastImageScale.y > 0 ? lastImageScale.y : 1;
        return {lastBounds.x + x / sx, lastBounds.y + y / sy};
    }
};

} // namespace twk
