#pragma once

// Numbered badges over the marked elements of a screenshot.

#include "accessibility/capture_geometry.h"
#include "accessibility/marked_element.h"
#include "capture/cairo_surface.h"
#include "platform/screen.h"

#include <vector>

namespace twk {

/// Where one badge goes, in image pixels from the image's top left.
struct BadgePlacement {
    double cx = 0;
    double cy = 0;
    double radius = 0;
};

/// Badges are never smaller or larger than this, in image pixels.
inline constexpr double minBadgeRadius = 11;
inline constexpr double maxBadgeRadius = 18;

/// Whether the centre of `mark` lies inside `bounds` (global points).
bool markCentreInside(const MarkedElement& mark, const ScreenRect& bounds);

/// The badge of `mark` on an image of the region starting at `regionOrigin`
/// (global points) drawn at `scale` image pixels per point: centred on the
/// mark, its radius 0.35 of its smaller side in pixels, within the limits.
BadgePlacement badgePlacement(const MarkedElement& mark, ScreenPoint regionOrigin, CaptureGeometry::Scale scale);

/// Paints a badge for each mark in list order (later ones over earlier
/// ones) onto `image`: a yellow disc with a black outline and the mark's
/// number in bold black digits centred on it. False when drawing failed.
bool drawMarksOverlay(cairo_surface_t* image, const std::vector<MarkedElement>& marks, ScreenPoint regionOrigin,
                      CaptureGeometry::Scale scale);

} // namespace twk
