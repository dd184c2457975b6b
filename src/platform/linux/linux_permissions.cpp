#include "platform/linux/linux_permissions.h"

#include "common/log.h"
#include "platform/linux/desktop_settings.h"
#include "platform/linux/pulse_probe.h"
#include "platform/linux/x11_display.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace twk {
namespace {

constexpr int dbusTimeoutMs = 500;
constexpr auto pulseTimeout = std::chrono::milliseconds(500);

QDBusMessage a11yStatusCall(const QString& method)
{
    return QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", method);
}

} // namespace

bool LinuxPermissions::microphoneGranted()
{
    return countPulseInputs(pulseTimeout) > 0;
}

bool LinuxPermissions::accessibilityGranted()
{
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    auto call = a11yStatusCall("Get");
    call << QString("org.a11y.Status") << QString("IsEnabled");
    const QDBusMessage reply = bus.call(call, QDBus::Block, dbusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

bool LinuxPermissions::screenRecordingGranted()
{
    return x11CanReadScreen();
}

void LinuxPermissions::requestAccessibility()
{
    auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto call = a11yStatusCall("Set");
        call << QString("org.a11y.Status") << QString("IsEnabled") << QVariant::fromValue(QDBusVariant(true));
        const QDBusMessage reply = bus.call(call, QDBus::Block, dbusTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage)
            logLine("[twk] could not enable the accessibility bus: " + reply.errorMessage().toStdString());
    }
    openDesktopSettings(SettingsPane::accessibility);
}

void LinuxPermissions::requestScreenRecording()
{
    openDesktopSettings(SettingsPane::privacy);
}

void LinuxPermissions::openSoundSettings()
{
    openDesktopSettings(SettingsPane::sound);
}

} // namespace twk
