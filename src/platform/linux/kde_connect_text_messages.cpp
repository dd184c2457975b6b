#include "platform/linux/kde_connect_text_messages.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariant>

namespace twk {
namespace {

const QString service = QStringLiteral("org.kde.kdeconnect");
const QString daemonPath = QStringLiteral("/modules/kdeconnect");

QDBusMessage ask(const QDBusConnection& bus, const QDBusMessage& call, std::chrono::milliseconds limit)
{
    return bus.call(call, QDBus::Block, static_cast<int>(limit.count()));
}

bool daemonMissing(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    return name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner";
}

} // namespace

std::optional<std::string> KdeConnectTextMessages::send(const std::string& recipient, const std::string& text)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return "there is no desktop session bus to reach KDE Connect on";

    auto listing = QDBusMessage::createMethodCall(service, daemonPath, "org.kde.kdeconnect.daemon", "devices");
    listing << true << true; // reachable and paired only
    const QDBusMessage devices = ask(bus, listing, callLimit_);
    if (daemonMissing(devices)) return "KDE Connect is not running — install it and pair your phone with it";
    if (devices.type() != QDBusMessage::ReplyMessage || devices.arguments().isEmpty())
        return "KDE Connect did not answer: " + devices.errorMessage().toStdString();
    const QStringList ids = devices.arguments().first().toStringList();
    if (ids.isEmpty()) return "no phone paired with KDE Connect is reachable";

    for (const QString& id : ids) {
        const QString devicePath = daemonPath + "/devices/" + id;
        auto pluginCheck = QDBusMessage::createMethodCall(service, devicePath, "org.kde.kdeconnect.device", "hasPlugin");
        pluginCheck << QStringLiteral("kdeconnect_sms");
        const QDBusMessage has = ask(bus, pluginCheck, callLimit_);
        if (has.type() != QDBusMessage::ReplyMessage || has.arguments().isEmpty() || !has.arguments().first().toBool())
            continue;

        // Each address is a structure holding the number; attachments none;
        // -1 leaves the choice of SIM card to the phone.
        QDBusArgument address;
        address.beginStructure();
        address << QString::fromStdString(recipient);
        address.endStructure();
        auto sending = QDBusMessage::createMethodCall(service, devicePath + "/sms", "org.kde.kdeconnect.device.sms",
                                                      "sendSms");
        sending << QVariantList{QVariant::fromValue(address)} << QString::fromStdString(text) << QVariantList{}
                << qint64(-1);
        const QDBusMessage sent = ask(bus, sending, callLimit_);
        if (sent.type() != QDBusMessage::ReplyMessage)
            return "KDE Connect did not take the message: " + sent.errorMessage().toStdString();
        return std::nullopt;
    }
    return "the phone paired with KDE Connect does not offer text messages — turn on its SMS plugin";
}

} // namespace twk
