#include "ui/menu_bar_controller.h"

#include "app/permission_refresh.h"
#include "common/log.h"
#include "ui/status_hud_controller.h"
#include "ui/tray_icons.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

namespace twk::ui {
namespace {

// A tray click that closes the popup (a click outside it) arrives this soon after.
constexpr qint64 clickClosedItMs = 300;
constexpr int popoverGap = 8;
constexpr int iconLength = 22;

class PaletteWatcher : public QObject {
public:
    explicit PaletteWatcher(std::function<void()> fn) : fn_(std::move(fn)) {}

protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (target == qApp && event->type() == QEvent::ApplicationPaletteChange) fn_();
        return false;
    }

private:
    std::function<void()> fn_;
};

QColor panelInk()
{
    return QApplication::palette().color(QPalette::WindowText);
}

} // namespace

MenuBarController::MenuBarController(AppState& state, Permissions& permissions, MainLoop& loop,
                                     StatusHUDController& hud, PopoverActions actions)
    : state_(state), permissions_(permissions), loop_(loop), hud_(hud)
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) statusItem_ = std::make_unique<QSystemTrayIcon>();
    popover_ = std::make_unique<PopoverView>(state_, std::move(actions));
    popover_->onClosed = [this] {
        sinceClosed_.start();
        stopPermissionPoll();
    };
    configureStatusItem();
    refreshPermissions();
    observeState();
}

MenuBarController::~MenuBarController()
{
    stopPermissionPoll();
}

void MenuBarController::configureStatusItem()
{
    logLine(std::string("[twk] configureStatusItem; button = ") +
            (statusItem_ ? "QSystemTrayIcon" : "none (no system tray on this desktop)"));
    if (!statusItem_) {
        // Never invisible: the HUD is on screen from launch and opens the popover.
        logLine("[twk] WARNING: no system tray — tray item will not appear; click the HUD's status to open the panel");
        hud_.setOnStatusClicked([this] { togglePopover(); });
        return;
    }
    statusItem_->setToolTip("tarnwick");
    QObject::connect(statusItem_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger) togglePopover();
    });
    // A second click target for trays that open menus: the power switch and Quit.
    menu_ = std::make_unique<QMenu>();
    QAction* power = menu_->addAction("Turn on tarnwick");
    QObject::connect(power, &QAction::triggered, [this] { state_.setEnabled(!state_.isEnabled()); });
    menu_->addAction("Open panel", [this] { togglePopover(); });
    menu_->addSeparator();
    menu_->addAction("Quit", [] { QApplication::quit(); });
    enabledSub_ = state_.isEnabled.subscribe(
        [power](bool on) { power->setText(on ? "Turn off tarnwick" : "Turn on tarnwick"); });
    statusItem_->setContextMenu(menu_.get());
    applyIcon(state_.status());
    statusItem_->show();
    // A switch between light and dark panels redraws the icon in the new ink.
    paletteWatcher_ = std::make_unique<PaletteWatcher>([this] {
        shownGlyph_.reset();
        applyIcon(state_.status());
    });
    qApp->installEventFilter(paletteWatcher_.get());
    logLine("[twk] status item configured: length=" + std::to_string(iconLength) + ", title=");
}

void MenuBarController::applyIcon(const SessionStatus& status)
{
    if (!statusItem_) return;
    const TrayGlyph glyph = trayGlyph(status);
    if (shownGlyph_ == glyph) return; // hosts repaint on every new icon
    shownGlyph_ = glyph;
    statusItem_->setIcon(trayIcon(glyph, panelInk()));
}

void MenuBarController::refreshPermissions()
{
    twk::refreshPermissions(state_, permissions_);
}

void MenuBarController::observeState()
{
    statusSub_ = state_.status.subscribe([this](const SessionStatus& status) { applyIcon(status); });
}

void MenuBarController::stopPermissionPoll()
{
    if (permissionPoll) permissionPoll->invalidate();
    permissionPoll.reset();
}

QPoint MenuBarController::popoverAnchor() const
{
    if (statusItem_) {
        const QRect icon = statusItem_->geometry();
        if (icon.isValid() && !icon.isEmpty()) return {icon.right(), icon.bottom() + popoverGap};
    }
    if (!statusItem_) {
        if (const QWidget* panel = hud_.panel(); panel && panel->isVisible())
            return panel->frameGeometry().bottomRight() + QPoint(0, popoverGap);
    }
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return area.topRight() + QPoint(-popoverGap, popoverGap);
}

void MenuBarController::togglePopover()
{
    if (popover_->isVisible()) {
        popover_->close();
        stopPermissionPoll();
        return;
    }
    if (sinceClosed_.isValid() && sinceClosed_.elapsed() < clickClosedItMs) return;
    refreshPermissions();
    state_.refreshStatus();
    popover_->popUpAt(popoverAnchor());
    stopPermissionPoll();
    permissionPoll = loop_.every(permissionPollInterval, [this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.lock()) refreshPermissions();
    });
}

} // namespace twk::ui
