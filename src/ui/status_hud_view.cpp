#include "ui/status_hud_view.h"

#include "ui/glyphs.h"
#include "ui/hud_model.h"
#include "ui/ui_colors.h"

#include <QEasingCurve>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace twk::ui {
namespace {

constexpr double pad = 14;
constexpr double rowTop = 12;
constexpr double rowHeight = 34;
constexpr double cornerRadius = 20;
constexpr int frameMs = 33;    // about 30 frames a second is smooth enough for a breathing orb
constexpr int dotsTickMs = 350;

QFont hudFont(double px, int weight = QFont::Normal, double spacing = 0)
{
    QFont f;
    f.setPixelSize(static_cast<int>(std::lround(px)));
    f.setWeight(static_cast<QFont::Weight>(weight));
    if (spacing != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return f;
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

void drawText(QPainter& p, const QRectF& box, const QString& text, const QFont& f, const QColor& color,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    p.setFont(f);
    p.setPen(color);
    p.drawText(box, static_cast<int>(align), QFontMetricsF(f).elidedText(text, Qt::ElideRight, box.width()));
}

void divider(QPainter& p, double x, double y, double width)
{
    p.fillRect(QRectF(x, y, width, 1), white(0.1));
}

} // namespace

StatusHUDView::StatusHUDView(AppState& state, QWidget* parent) : QWidget(parent), state_(state)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(false);
    clock_.start();
    frames_.setInterval(frameMs);
    connect(&frames_, &QTimer::timeout, this, [this] { update(); });
    dots_.setInterval(dotsTickMs);
    connect(&dots_, &QTimer::timeout, this, [this] {
        dotCount_ = nextDotCount(dotCount_);
        update();
    });
    // Notices come before the value is stored: look at the state once the
    // event loop is back, with every change of this turn in place.
    changes_ = state_.onWillChange([this] {
        if (changePending_) return;
        changePending_ = true;
        QMetaObject::invokeMethod(this, [this] { stateChanged(); }, Qt::QueuedConnection);
    });
    updateAnimation();
}

void StatusHUDView::stateChanged()
{
    changePending_ = false;
    updateAnimation();
    update();
}

bool StatusHUDView::dotsShown() const
{
    if (!state_.isEnabled()) return false;
    if (state_.taskSteps().empty()) return hudSingleLine(state_).live;
    return state_.agentThinking();
}

bool StatusHUDView::animating() const
{
    if (orbBreathes(state_.status())) return true;
    if (!state_.isEnabled()) return false;
    if (state_.taskSteps().empty()) return hudSingleLine(state_).live;
    return true; // the hero's live glyph or the doing pill breathes
}

void StatusHUDView::updateAnimation()
{
    // Nothing moves at rest, so an idle HUD costs no CPU.
    if (animating() != frames_.isActive()) animating() ? frames_.start() : frames_.stop();
    if (dotsShown() != dots_.isActive()) {
        dotCount_ = 1;
        dotsShown() ? dots_.start() : dots_.stop();
    }
}

double StatusHUDView::breathe(double period) const
{
    const double t = std::fmod(static_cast<double>(clock_.elapsed()) / 1000.0, 2 * period) / period;
    const double linear = t <= 1 ? t : 2 - t;
    return QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(linear);
}

QRectF StatusHUDView::powerButtonRect() const
{
    return QRectF(width() - pad - 22, rowTop + (rowHeight - 22) / 2, 22, 22);
}

void StatusHUDView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor tone = toneColor(statusTone(state_.status()));

    const QRectF panel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(withAlpha(tone, 0.35), 1));
    p.setBrush(QColor::fromRgbF(0, 0, 0, 0.94f));
    p.drawRoundedRect(panel, cornerRadius, cornerRadius);

    paintStatusBar(p, tone);
    const double top = rowTop + rowHeight;
    switch (hudLayout(state_.isEnabled(), state_.taskSteps().size())) {
    case HudLayout::offHint: paintOffHint(p, top + 6); break;
    case HudLayout::singleLine: paintSingleLine(p, top + 10); break;
    case HudLayout::hero: paintHero(p, top + 10); break;
    }
    ++paints_;
}

void StatusHUDView::paintStatusBar(QPainter& p, const QColor& tone)
{
    const auto& status = state_.status();
    const QPointF orb(pad + 17, rowTop + 17);
    const bool breathing = orbBreathes(status);
    const double scale = breathing ? 0.85 + 0.45 * breathe(0.9) : 0.85;
    const double haloRadius = 17 * scale;
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(tone, 0.22 * (breathing ? 0.85 : 0.4)));
    p.drawEllipse(orb, haloRadius, haloRadius);
    p.setBrush(tone);
    p.drawEllipse(orb, 7, 7);

    // Right to left: power button, round counter, then the text column takes the rest.
    const QRectF power = powerButtonRect();
    drawPowerButton(p, power, state_.isEnabled() ? accentColor() : white(0.55));
    double right = power.left() - 10;
    if (state_.agentStepCount() >= 1) {
        const QFont number = hudFont(13, QFont::DemiBold);
        const QFont word = hudFont(10, QFont::DemiBold, 1.2);
        const QString count = QString::number(state_.agentStepCount());
        const double w = QFontMetricsF(number).horizontalAdvance(count) + 4 +
                         QFontMetricsF(word).horizontalAdvance("ROUNDS") + 20;
        const QRectF capsule(right - w, rowTop + (rowHeight - 24) / 2, w, 24);
        p.setPen(QPen(withAlpha(accentColor(), 0.2), 1));
        p.setBrush(white(0.06));
        p.drawRoundedRect(capsule, 12, 12);
        QRectF text = capsule.adjusted(10, 0, -10, 0);
        drawText(p, text, count, number, Qt::white);
        text.setLeft(text.left() + QFontMetricsF(number).horizontalAdvance(count) + 4);
        drawText(p, text, "ROUNDS", word, white(0.7));
        right = capsule.left() - 10;
    }

    const double left = pad + 34 + 10;
    const QString subtitle = q(hudSubtitle(state_));
    const QColor labelColor = status.kind == SessionStatus::Kind::error  ? withAlpha(toneColor(Tone::red), 0.9)
                              : breathing && status.kind != SessionStatus::Kind::connecting ? accentColor()
                                                                                             : white(0.7);
    const QString label = q(hudStatusLabel(status)).toUpper();
    const QFont labelFont = hudFont(12, QFont::DemiBold, 2.5);
    if (subtitle.isEmpty()) {
        drawText(p, QRectF(left, rowTop, right - left, rowHeight), label, labelFont, labelColor);
    } else {
        drawText(p, QRectF(left, rowTop, right - left, 17), label, labelFont, labelColor);
        drawText(p, QRectF(left, rowTop + 17, right - left, 17), subtitle, hudFont(12), white(0.55));
    }
}

void StatusHUDView::paintOffHint(QPainter& p, double top)
{
    drawText(p, QRectF(pad, top, width() - 2 * pad, 16), "click power to start listening", hudFont(11), white(0.45));
}

double StatusHUDView::paintLiveGlyph(QPainter& p, double x, double centerY, double size)
{
    const double opacity = 0.4 + 0.6 * breathe(0.7);
    drawPlayTriangle(p, QRectF(x, centerY - size / 2, size * 0.85, size), white(opacity));
    return x + size + 6;
}

void StatusHUDView::paintDots(QPainter& p, double x, double centerY)
{
    drawText(p, QRectF(x, centerY - 10, 22, 20), QString(dotCount_, QChar(0x00B7)), hudFont(15, QFont::Bold), white(0.85));
}

void StatusHUDView::paintSingleLine(QPainter& p, double top)
{
    const SingleLine line = hudSingleLine(state_);
    const double centerY = top + 10;
    double x = pad;
    if (line.live) x = paintLiveGlyph(p, x, centerY, 10);
    const QFont f = hudFont(12);
    const double room = width() - pad - x - (line.live ? 26 : 0);
    const QString text = QFontMetricsF(f).elidedText(q(line.text), Qt::ElideRight, room);
    drawText(p, QRectF(x, top, room, 20), text, f, line.quiet ? white(0.55) : Qt::white);
    if (line.live) paintDots(p, x + QFontMetricsF(f).horizontalAdvance(text) + 4, centerY);
}

void StatusHUDView::paintHero(QPainter& p, double top)
{
    const Hero hero = hudHero(state_);
    const double w = width() - 2 * pad;
    drawText(p, QRectF(pad, top, w, 14), q(hero.label), hudFont(11, QFont::DemiBold, 1.2), white(0.55));
    top += 16;
    drawText(p, QRectF(pad, top, w, 30), q(hero.stepText), hudFont(22, QFont::DemiBold), Qt::white);
    top += 34;
    if (hero.thinking) {
        const QFont f = hudFont(15, QFont::Medium);
        drawText(p, QRectF(pad, top, w, 20), "Thinking", f, white(0.85));
        paintDots(p, pad + QFontMetricsF(f).horizontalAdvance("Thinking") + 4, top + 10);
    } else if (!hero.liveAction.empty()) {
        const double x = paintLiveGlyph(p, pad, top + 10, 12);
        drawText(p, QRectF(x, top, width() - pad - x, 20), q(hero.liveAction), hudFont(15, QFont::Medium), white(0.85));
    }
    top += 28;

    const auto rows = hudActionStream(state_.recentActions());
    if (!rows.empty()) {
        divider(p, pad, top, w);
        top += 8;
        for (const auto& row : rows) {
            drawText(p, QRectF(pad, top, w, 22), q(row.text), hudFont(12), white(row.opacity));
            top += 22;
        }
        top += 4;
    }

    // The plan strip sits at the bottom edge, whatever the rows above took.
    top = std::max(top, height() - 12.0 - 22 - 8);
    divider(p, pad, top, w);
    top += 8;
    double x = pad;
    const QFont numberFont = hudFont(10, QFont::DemiBold);
    for (const Pill& pill : hudPills(state_.taskSteps())) {
        const QString number = QString::number(pill.number);
        const double pillWidth = 28 + QFontMetricsF(numberFont).horizontalAdvance(number);
        const QRectF box(x, top, pillWidth, 22);
        QColor ink = white(0.85);
        QColor fill = white(0.06);
        switch (pill.emphasis) {
        case PillEmphasis::dim: ink = white(0.4); fill = white(0.04); break;
        case PillEmphasis::highlighted: ink = Qt::black; fill = accentColor(); break;
        case PillEmphasis::normal: break;
        case PillEmphasis::red: ink = toneColor(Tone::red); fill = withAlpha(toneColor(Tone::red), 0.15); break;
        }
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(box, 11, 11);
        const QRectF glyph(x + 9, top + 7, 8, 8);
        switch (pill.state) {
        case StepState::pending: drawRing(p, glyph, ink, 1.5); break;
        case StepState::doing:
            drawPlayTriangle(p, glyph, withAlpha(ink, 0.4 + 0.6 * breathe(0.7)));
            break;
        case StepState::done: drawCheckmark(p, glyph, ink, 1.8); break;
        case StepState::failed: drawCross(p, glyph, ink, 1.8); break;
        }
        drawText(p, QRectF(x + 20, top, pillWidth - 22, 22), number, numberFont, ink);
        x += pillWidth + 6;
        if (x > width() - pad - 30) break; // a plan longer than the panel shows its first steps
    }
}

void StatusHUDView::mousePressEvent(QMouseEvent* event)
{
    dragFrom_ = event->globalPosition().toPoint() - window()->pos();
    dragged_ = false;
}

void StatusHUDView::mouseMoveEvent(QMouseEvent* event)
{
    // The panel moves with the pointer; the next resize puts it back in the corner.
    if (!(event->buttons() & Qt::LeftButton)) return;
    dragged_ = true;
    window()->move(event->globalPosition().toPoint() - dragFrom_);
}

void StatusHUDView::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragged_ || event->button() != Qt::LeftButton) return;
    if (powerButtonRect().contains(event->position())) {
        state_.setEnabled(!state_.isEnabled());
    } else if (onStatusClicked && event->position().y() < rowTop + rowHeight + 6) {
        onStatusClicked();
    }
}

bool StatusHUDView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (powerButtonRect().contains(help->pos()))
            QToolTip::showText(help->globalPos(), state_.isEnabled() ? "Turn off tarnwick" : "Turn on tarnwick", this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

} // namespace twk::ui
