#include "ui/usage_bar_widget.h"

#include "ui/ui_colors.h"

#include <QPainter>

namespace twk::ui {

UsageBarWidget::UsageBarWidget(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(4);
}

void UsageBarWidget::setBar(UsageBar bar)
{
    bar_ = bar;
    update();
}

void UsageBarWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(white(0.1));
    p.drawRoundedRect(rect(), 2, 2);
    QColor fill = accentColor();
    if (bar_.fill == UsageBar::Fill::empty) fill = withAlpha(toneColor(Tone::red), 0.7);
    if (bar_.fill == UsageBar::Fill::low) fill = toneColor(Tone::yellow);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0, 0, width() * bar_.fraction, height()), 2, 2);
}

} // namespace twk::ui
