#include "ui/tray_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace twk::ui {
namespace {

// Five bars of a sound wave, centred in a unit box scaled to `box`.
QPainterPath waveform(const QRectF& box)
{
    const double heights[] = {0.35, 0.7, 1.0, 0.6, 0.3};
    const double barWidth = box.width() / 9;
    QPainterPath path;
    for (int i = 0; i < 5; ++i) {
        const double h = box.height() * heights[i];
        const QRectF bar(box.left() + barWidth * (2 * i), box.center().y() - h / 2, barWidth, h);
        path.addRoundedRect(bar, barWidth / 2, barWidth / 2);
    }
    return path;
}

QPixmap render(TrayGlyph glyph, const QColor& ink, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QRectF full(0, 0, s, s);
    switch (glyph) {
    case TrayGlyph::waveform: p.fillPath(waveform(full.adjusted(s * 0.1, s * 0.15, -s * 0.1, -s * 0.15)), ink); break;
    case TrayGlyph::waveformBadge: {
        p.fillPath(waveform(QRectF(0, s * 0.2, s * 0.72, s * 0.7)), ink);
        // The exclamation mark of "not ready yet".
        const double x = s * 0.86;
        p.setPen(QPen(ink, s * 0.12, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, s * 0.1), QPointF(x, s * 0.52));
        p.drawPoint(QPointF(x, s * 0.78));
        break;
    }
    case TrayGlyph::waveformCircle: {
        QPainterPath disc;
        disc.addEllipse(full.adjusted(1, 1, -1, -1));
        p.fillPath(disc.subtracted(waveform(full.adjusted(s * 0.24, s * 0.28, -s * 0.24, -s * 0.28))), ink);
        break;
    }
    case TrayGlyph::waveformSlash: {
        p.fillPath(waveform(full.adjusted(s * 0.1, s * 0.15, -s * 0.1, -s * 0.15)), ink);
        // A gap around the slash keeps it readable across the bars.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::transparent, s * 0.22, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.12, s * 0.1), QPointF(s * 0.88, s * 0.9));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(ink, s * 0.09, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.12, s * 0.1), QPointF(s * 0.88, s * 0.9));
        break;
    }
    }
    return pixmap;
}

} // namespace

QIcon trayIcon(TrayGlyph glyph, const QColor& ink)
{
    QIcon icon;
    for (int size : {16, 22, 32, 48}) icon.addPixmap(render(glyph, ink, size));
    return icon;
}

} // namespace twk::ui
