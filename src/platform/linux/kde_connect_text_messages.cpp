#include "platform/linux/kde_connect_text_messages.h"

#include "skills/phone_contacts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace twk {
namespace {

const QString service = QStringLiteral("org.kde.kdeconnect");
const QString daemonPath = QStringLiteral("/modules/kdeconnect");

QString devicePath(const QString& id) { return daemonPath + "/devices/" + id; }

bool daemonMissing(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    return name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner";
}

} // namespace

KdeConnectTextMessages::SmsDevice KdeConnectTextMessages::smsDevice() const
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return {std::nullopt, "there is no desktop session bus to reach KDE Connect on"};
    const int limit = static_cast<int>(callLimit_.count());

    auto listing = QDBusMessage::createMethodCall(service, daemonPath, "org.kde.kdeconnect.daemon", "devices");
    listing << true << true; // reachable and paired only
    const QDBusMessage devices = bus.call(listing, QDBus::Block, limit);
    if (daemonMissing(devices)) return {std::nullopt, "KDE Connect is not running — install it and pair your phone with it"};
    if (devices.type() != QDBusMessage::ReplyMessage || devices.arguments().isEmpty())
        return {std::nullopt, "KDE Connect did not answer: " + devices.errorMessage().toStdString()};
    const QStringList ids = devices.arguments().first().toStringList();
    if (ids.isEmpty()) return {std::nullopt, "no phone paired with KDE Connect is reachable"};

    for (const QString& id : ids) {
        auto pluginCheck = QDBusMessage::createMethodCall(service, devicePath(id), "org.kde.kdeconnect.device", "hasPlugin");
        pluginCheck << QStringLiteral("kdeconnect_sms");
        const QDBusMessage has = bus.call(pluginCheck, QDBus::Block, limit);
        if (has.type() == QDBusMessage::ReplyMessage && !has.arguments().isEmpty() && has.arguments().first().toBool())
            return {id.toStdString(), {}};
    }
    return {std::nullopt, "the phone paired with KDE Connect does not offer text messages — turn on its SMS plugin"};
}

std::optional<std::string> KdeConnectTextMessages::send(const std::string& recipient, const std::string& text)
{
    const auto device = smsDevice();
    if (!device.id) return device.problem;

    // Each address is a structure holding the number; attachments none;
    // -1 leaves the choice of SIM card to the phone.
    QDBusArgument address;
    address.beginStructure();
    address << QString::fromStdString(recipient);
    address.endStructure();
    auto sending = QDBusMessage::createMethodCall(service, devicePath(QString::fromStdString(*device.id)) + "/sms",
                                                  "org.kde.kdeconnect.device.sms", "sendSms");
    sending << QVariantList{QVariant::fromValue(address)} << QString::fromStdString(text) << QVariantList{} << qint64(-1);
    const QDBusMessage sent =
        QDBusConnection::sessionBus().call(sending, QDBus::Block, static_cast<int>(callLimit_.count()));
    if (sent.type() != QDBusMessage::ReplyMessage)
        return "KDE Connect did not take the message: " + sent.errorMessage().toStdString();
    return std::nullopt;
}

std::vector<PhoneContact> KdeConnectTextMessages::contacts()
{
    const auto device = smsDevice();
    if (!device.id) return {};
    // KDE Connect keeps the address book the phone shares as one vCard file
    // per contact, in a folder named after the device.
    const QDir folder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/kpeoplevcard/kdeconnect-" +
                      QString::fromStdString(*device.id));
    std::vector<PhoneContact> all;
    for (const QString& name : folder.entryList({"*.vcf"}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (auto& contact : contactsInVCards(file.readAll().toStdString())) all.push_back(std::move(contact));
    }
    return all;
}

} // namespace twk
