#include "platform/linux/mpris_player_query.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>

namespace twk {
namespace {

QDBusMessage busDaemonCall(const QString& method)
{
    return QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                          method);
}

bool leftTheBus(const QDBusError& error)
{
    return error.type() == QDBusError::ServiceUnknown || error.name() == "org.freedesktop.DBus.Error.NameHasNoOwner";
}

struct PendingPlayer {
    QString name;
    QDBusPendingReply<QString> owner;
    QDBusPendingReply<QVariantMap> properties;
};

} // namespace

int dbusTimeoutUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 1));
}

std::vector<MprisPlayerState> queryMprisPlayers(const QDBusConnection& bus,
                                                std::chrono::steady_clock::time_point deadline,
                                                std::vector<std::string>& problems)
{
    QDBusPendingReply<QStringList> names = bus.asyncCall(busDaemonCall("ListNames"), dbusTimeoutUntil(deadline));
    names.waitForFinished();
    if (names.isError()) {
        problems.push_back("cannot list the players: " + names.error().message().toStdString());
        return {};
    }
    const QString prefix = QStringLiteral("org.mpris.MediaPlayer2.");
    QStringList playerNames;
    for (const QString& name : names.value())
        if (name.startsWith(prefix) && name.size() > prefix.size()) playerNames << name;
    playerNames.sort();

    // Every question goes out before any answer is awaited.
    std::vector<PendingPlayer> pending;
    for (const QString& name : playerNames) {
        auto ownerCall = busDaemonCall("GetNameOwner");
        ownerCall << name;
        auto propertiesCall =
            QDBusMessage::createMethodCall(name, kMprisObjectPath, "org.freedesktop.DBus.Properties", "GetAll");
        propertiesCall << kMprisPlayerInterface;
        pending.push_back({name, bus.asyncCall(ownerCall, dbusTimeoutUntil(deadline)),
                           bus.asyncCall(propertiesCall, dbusTimeoutUntil(deadline))});
    }

    std::vector<MprisPlayerState> players;
    for (auto& p : pending) {
        p.owner.waitForFinished();
        p.properties.waitForFinished();
        if ((p.owner.isError() && leftTheBus(p.owner.error())) || (p.properties.isError() && leftTheBus(p.properties.error())))
            continue;
        MprisPlayerState player;
        player.busName = p.name.toStdString();
        if (!p.owner.isError()) player.owner = p.owner.value().toStdString();
        if (p.properties.isError()) {
            problems.push_back(player.busName + " did not tell its state: " + p.properties.error().message().toStdString());
        } else {
            const QVariantMap properties = p.properties.value();
            player.playbackStatus = properties.value("PlaybackStatus").toString().toStdString();
            player.canControl = properties.value("CanControl", true).toBool();
            player.canGoNext = properties.value("CanGoNext", true).toBool();
            player.canGoPrevious = properties.value("CanGoPrevious", true).toBool();
        }
        players.push_back(std::move(player));
    }
    return players;
}

} // namespace twk
