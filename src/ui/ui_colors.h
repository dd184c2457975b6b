#pragma once

#include "ui/status_style.h"

#include <QColor>

namespace twk::ui {

/// The lime green of the HUD and the popover.
inline QColor accentColor()
{
    return QColor::fromRgbF(0.77f, 1.0f, 0.27f);
}

inline QColor toneColor(Tone tone)
{
    switch (tone) {
    case Tone::gray: return QColor(142, 142, 147);
    case Tone::yellow: return QColor(255, 204, 0);
    case Tone::accent: return accentColor();
    case Tone::red: return QColor(255, 59, 48);
    }
    return QColor(142, 142, 147);
}

/// `color` at `alpha` (0 ... 1) of its opacity.
inline QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

inline QColor white(double alpha)
{
    return withAlpha(Qt::white, alpha);
}

} // namespace twk::ui
