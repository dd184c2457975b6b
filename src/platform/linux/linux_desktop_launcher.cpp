#include "platform/linux/linux_desktop_launcher.h"

#include "platform/linux/current_desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace twk {
namespace {

const QString krunnerService = QStringLiteral("org.kde.krunner");
constexpr int callTimeoutMs = 3000;

} // namespace

LinuxDesktopLauncher::LinuxDesktopLauncher()
{
    desktop_ = currentDesktop();
}

bool LinuxDesktopLauncher::searchDirectly(const std::string& query)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    // On Plasma the bus starts KRunner when needed; elsewhere only a running one is asked.
    if (!desktopListNames(desktop_, "KDE") && !bus.interface()->isServiceRegistered(krunnerService).value()) return false;
    auto call = QDBusMessage::createMethodCall(krunnerService, QStringLiteral("/App"), QStringLiteral("org.kde.krunner.App"),
                                               QStringLiteral("query"));
    call << QString::fromStdString(query);
    return bus.call(call, QDBus::Block, callTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

std::optional<std::string> LinuxDesktopLauncher::searchShortcut()
{
    if (desktopListNames(desktop_, "KDE")) return "alt+space";
    if (desktopListNames(desktop_, "XFCE")) return "alt+f2";
    return std::nullopt;
}

} // namespace twk
