#include "ui/status_hud_controller.h"

#include "ui/hud_model.h"
#include "ui/x11_window_hints.h"

#include <QGuiApplication>
#include <QScreen>

namespace twk::ui {

StatusHUDController::StatusHUDController(AppState& state)
    : state_(state),
      seen_(state.isEnabled(), state.taskSteps().size(), state.recentActions().size(), state.activity())
{
    // Each value counts only when it differs from the one last seen; the
    // resize itself runs once the loop is back and the new value is stored.
    enabledSub_ = state_.isEnabled.subscribe([this](bool v) {
        if (std::exchange(std::get<0>(seen_), v) != v) scheduleResize();
    });
    stepsSub_ = state_.taskSteps.subscribe([this](const std::vector<TaskStep>& v) {
        if (std::exchange(std::get<1>(seen_), v.size()) != v.size()) scheduleResize();
    });
    recentSub_ = state_.recentActions.subscribe([this](const std::vector<std::string>& v) {
        if (std::exchange(std::get<2>(seen_), v.size()) != v.size()) scheduleResize();
    });
    activitySub_ = state_.activity.subscribe([this](const std::string& v) {
        if (std::exchange(std::get<3>(seen_), v) != v) scheduleResize();
    });
}

StatusHUDController::~StatusHUDController() = default;

void StatusHUDController::scheduleResize()
{
    if (!panel_ || resizePending_) return;
    resizePending_ = true;
    QMetaObject::invokeMethod(panel_.get(), [this] {
        resizePending_ = false;
        resize();
    }, Qt::QueuedConnection);
}

void StatusHUDController::show()
{
    if (!panel_) {
        panel_ = std::make_unique<StatusHUDView>(state_);
        panel_->setWindowTitle("tarnwick HUD");
        // A utility window kept above the others that the window manager
        // never focuses: the agent types into the user's window, not ours.
        panel_->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus);
        panel_->setAttribute(Qt::WA_ShowWithoutActivating);
        panel_->setFocusPolicy(Qt::NoFocus);
        panel_->winId(); // the native window must exist for the hints below
        keepOutOfTaskbarAndSwitcher(*panel_);
        panel_->onStatusClicked = onStatusClicked_;
    }
    resize();
    panel_->show();
    panel_->raise();
}

void StatusHUDController::setOnStatusClicked(std::function<void()> fn)
{
    onStatusClicked_ = std::move(fn);
    if (panel_) panel_->onStatusClicked = onStatusClicked_;
}

void StatusHUDController::resize()
{
    if (!panel_) return;
    const Size size = hudSize(state_.isEnabled(), state_.taskSteps().size(), state_.recentActions().size());
    panel_->setFixedSize(size.width, size.height);
    applyRoundedShapeWithoutCompositor(*panel_, 20);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const Point origin = hudOrigin({area.x(), area.y(), area.width(), area.height()}, size);
        panel_->move(origin.x, origin.y);
    }
}

} // namespace twk::ui
