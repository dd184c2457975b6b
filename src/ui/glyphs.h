#pragma once

// The few symbols the HUD, popover and tray draw, painted as vector shapes
// so they stay crisp at any scale and need no image files or SVG module.

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace twk::ui {

/// A filled circle with the power symbol cut out of it.
void drawPowerButton(QPainter& p, const QRectF& box, const QColor& color);
/// A right-pointing solid triangle.
void drawPlayTriangle(QPainter& p, const QRectF& box, const QColor& color);
void drawCheckmark(QPainter& p, const QRectF& box, const QColor& color, double width);
void drawCross(QPainter& p, const QRectF& box, const QColor& color, double width);
void drawRing(QPainter& p, const QRectF& box, const QColor& color, double width);
/// A diagonal arrow pointing up and to the right (outgoing link).
void drawOutArrow(QPainter& p, const QRectF& box, const QColor& color, double width);

} // namespace twk::ui
