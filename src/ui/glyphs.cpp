#include "ui/glyphs.h"

#include <QPainterPath>
#include <QPen>

namespace twk::ui {
namespace {

QPen roundPen(const QColor& color, double width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

void drawPowerButton(QPainter& p, const QRectF& box, const QColor& color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath disc;
    disc.addEllipse(box);
    // The symbol is cut out of the disc so the panel shows through it.
    const QPointF c = box.center();
    const double r = box.width() * 0.24;
    const double stroke = box.width() * 0.09;
    QPainterPath arc;
    arc.arcMoveTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 120);
    arc.arcTo(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 120, 300);
    QPainterPath bar;
    bar.moveTo(c.x(), c.y() - r * 1.3);
    bar.lineTo(c.x(), c.y() - r * 0.15);
    QPainterPathStroker stroker(roundPen(color, stroke));
    const QPainterPath symbol = stroker.createStroke(arc).united(stroker.createStroke(bar));
    p.fillPath(disc.subtracted(symbol), color);
    p.restore();
}

void drawPlayTriangle(QPainter& p, const QRectF& box, const QColor& color)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(box.left(), box.top());
    path.lineTo(box.right(), box.center().y());
    path.lineTo(box.left(), box.bottom());
    path.closeSubpath();
    p.fillPath(path, color);
    p.restore();
}

void drawCheckmark(QPainter& p, const QRectF& box, const QColor& color, double width)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(roundPen(color, width));
    const QPointF points[] = {{box.left(), box.center().y()},
                              {box.left() + box.width() * 0.38, box.bottom()},
                              {box.right(), box.top()}};
    p.drawPolyline(points, 3);
    p.restore();
}

void drawCross(QPainter& p, const QRectF& box, const QColor& color, double width)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(roundPen(color, width));
    p.drawLine(box.topLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomLeft());
    p.restore();
}

void drawRing(QPainter& p, const QRectF& box, const QColor& color, double width)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, width));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(box.adjusted(width / 2, width / 2, -width / 2, -width / 2));
    p.restore();
}

void drawOutArrow(QPainter& p, const QRectF& box, const QColor& color, double width)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(roundPen(color, width));
    p.drawLine(box.bottomLeft(), box.topRight());
    const QPointF head[] = {{box.left() + box.width() * 0.35, box.top()}, box.topRight(),
                            {box.right(), box.top() + box.height() * 0.65}};
    p.drawPolyline(head, 3);
    p.restore();
}

} // namespace twk::ui
