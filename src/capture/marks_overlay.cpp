#include "capture/marks_overlay.h"

#include <algorithm>
#include <numbers>
#include <string>

namespace twk {

bool markCentreInside(const MarkedElement& mark, const ScreenRect& bounds)
{
    return bounds.contains({mark.x + mark.width * 0.5, mark.y + mark.height * 0.5});
}

BadgePlacement badgePlacement(const MarkedElement& mark, ScreenPoint regionOrigin, CaptureGeometry::Scale scale)
{
    BadgePlacement badge;
    badge.cx = scale.x * (mark.x + mark.width * 0.5 - regionOrigin.x);
    badge.cy = scale.y * (mark.y + mark.height * 0.5 - regionOrigin.y);
    badge.radius =
        std::clamp(scale.x * std::min(mark.width, mark.height) * 0.35, minBadgeRadius, maxBadgeRadius);
    return badge;
}

bool drawMarksOverlay(cairo_surface_t* image, const std::vector<MarkedElement>& marks, ScreenPoint regionOrigin,
                      CaptureGeometry::Scale scale)
{
    const CairoContext context(cairo_create(image));
    cairo_t* cr = context.get();
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_line_width(cr, 1.5);
    for (const auto& mark : marks) {
        const BadgePlacement badge = badgePlacement(mark, regionOrigin, scale);
        cairo_new_path(cr);
        cairo_arc(cr, badge.cx, badge.cy, badge.radius, 0, 2 * std::numbers::pi);
        cairo_set_source_rgba(cr, 1.0, 0.84, 0.0, 0.95);
        cairo_fill_preserve(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_stroke(cr);

        // Centred by the digits' measured ink, not by the font's line box.
        const std::string number = std::to_string(mark.id);
        cairo_set_font_size(cr, badge.radius * 1.1);
        cairo_text_extents_t ink;
        cairo_text_extents(cr, number.c_str(), &ink);
        cairo_move_to(cr, badge.cx - ink.x_bearing - ink.width / 2, badge.cy - ink.y_bearing - ink.height / 2);
        cairo_show_text(cr, number.c_str());
    }
    cairo_surface_flush(image);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
}

} // namespace twk
