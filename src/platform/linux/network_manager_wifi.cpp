#include "platform/linux/network_manager_wifi.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>

namespace twk {
namespace {

const QString service = QStringLiteral("org.freedesktop.NetworkManager");
const QString managerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString managerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString deviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr unsigned wifiDeviceType = 2; // NM_DEVICE_TYPE_WIFI

QDBusMessage call(const QDBusMessage& message, std::chrono::milliseconds timeout)
{
    return QDBusConnection::systemBus().call(message, QDBus::Block, static_cast<int>(timeout.count()));
}

/// A property's value; invalid when it cannot be read.
QVariant property(const QString& path, const QString& interface, const QString& name, std::chrono::milliseconds timeout)
{
    auto get = QDBusMessage::createMethodCall(service, path, propertiesInterface, QStringLiteral("Get"));
    get << interface << name;
    const QDBusMessage reply = call(get, timeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

std::string refusalText(const QDBusMessage& reply)
{
    const QString text = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return text.isEmpty() ? std::string("no answer from NetworkManager") : text.toStdString();
}

} // namespace

std::optional<std::string> NetworkManagerWifi::wifiDevice()
{
    if (!QDBusConnection::systemBus().isConnected()) return std::nullopt;
    const QDBusMessage reply =
        call(QDBusMessage::createMethodCall(service, managerPath, managerInterface, QStringLiteral("GetDevices")),
             timeout_);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    const auto devices = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().first());
    for (const QDBusObjectPath& device : devices) {
        if (property(device.path(), deviceInterface, QStringLiteral("DeviceType"), timeout_).toUInt() != wifiDeviceType)
            continue;
        const QString name = property(device.path(), deviceInterface, QStringLiteral("Interface"), timeout_).toString();
        if (!name.isEmpty()) return name.toStdString();
    }
    return std::nullopt;
}

std::optional<std::string> NetworkManagerWifi::setWirelessEnabled(bool on)
{
    if (!QDBusConnection::systemBus().isConnected())
        return "cannot reach the system bus: " + QDBusConnection::systemBus().lastError().message().toStdString();
    auto set = QDBusMessage::createMethodCall(service, managerPath, propertiesInterface, QStringLiteral("Set"));
    set << managerInterface << QStringLiteral("WirelessEnabled") << QVariant::fromValue(QDBusVariant(on));
    const QDBusMessage reply = call(set, timeout_);
    if (reply.type() != QDBusMessage::ReplyMessage) return refusalText(reply);
    // The radio's own switch (or rfkill) overrides the software one: saying
    // "on" then would report a radio that stays off.
    const QVariant hardware = property(managerPath, managerInterface, QStringLiteral("WirelessHardwareEnabled"), timeout_);
    if (on && hardware.isValid() && !hardware.toBool())
        return std::string("the Wi-Fi radio is switched off by its hardware switch");
    return std::nullopt;
}

} // namespace twk
