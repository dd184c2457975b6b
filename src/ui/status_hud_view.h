#pragma once

#include "app/app_state.h"
#include "common/observable.h"

#include <QElapsedTimer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

namespace twk::ui {

/// The HUD's content, painted from the application state: status orb and
/// label, subtitle, round counter and power button, then the off hint, the
/// single line, or the running plan. It writes nothing but the power switch.
class StatusHUDView : public QWidget {
public:
    explicit StatusHUDView(AppState& state, QWidget* parent = nullptr);

    /// Completed paints, for measuring repaint latency and idleness.
    int paintCount() const { return paints_; }
    /// Where the power button sits, in widget coordinates.
    QRectF powerButtonRect() const;
    /// Called when the user clicks the status area (not the power button):
    /// where no tray exists this is how the popover opens.
    std::function<void()> onStatusClicked;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void stateChanged();
    void updateAnimation();
    bool animating() const;
    bool dotsShown() const;
    // 0 ... 1 ... 0, eased, over `period` seconds each way.
    double breathe(double period) const;

    void paintStatusBar(QPainter& p, const QColor& tone);
    void paintOffHint(QPainter& p, double top);
    void paintSingleLine(QPainter& p, double top);
    void paintHero(QPainter& p, double top);
    double paintLiveGlyph(QPainter& p, double x, double centerY, double size);
    void paintDots(QPainter& p, double x, double centerY);

    AppState& state_;
    Subscription changes_;
    QTimer frames_;
    QTimer dots_;
    QElapsedTimer clock_;
    int dotCount_ = 1;
    int paints_ = 0;
    bool changePending_ = false;
    QPoint dragFrom_;
    bool dragged_ = false;
};

} // namespace twk::ui
