#include "platform/linux/mpris_media_keys.h"

#include "common/log.h"
#include "platform/linux/mpris_player_query.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include <chrono>
#include <string>
#include <vector>

namespace twk {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQueryBudget = std::chrono::milliseconds(250);
constexpr auto kPressBudget = std::chrono::milliseconds(500);

struct KeyAction {
    const char* label;
    const char* method;
    bool MprisPlayerState::*allowed; ///< the capability the player must have, if any
};

KeyAction actionFor(MediaKey key)
{
    switch (key) {
    case MediaKey::next: return {"next", "Next", &MprisPlayerState::canGoNext};
    case MediaKey::previous: return {"previous", "Previous", &MprisPlayerState::canGoPrevious};
    case MediaKey::playPause: break;
    }
    return {"play/pause", "PlayPause", nullptr};
}

/// Sends the key to the active player; says in `notes` why it did not.
MediaKeyOutcome pressOnActivePlayer(const KeyAction& action, std::vector<std::string>& notes)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // No bus, no player anyone could reach.
        notes.push_back("no session bus");
        return MediaKeyOutcome::noPlayer;
    }
    // The budgets are for the players; connecting to the bus on first use
    // (slow on a loaded machine) must not eat them.
    const auto start = Clock::now();
    const std::vector<MprisPlayerState> players = queryMprisPlayers(bus, start + kQueryBudget, notes);
    const auto chosen = chooseActivePlayer(players);
    if (!chosen) {
        notes.push_back("no media player to control");
        return MediaKeyOutcome::noPlayer;
    }
    const MprisPlayerState& player = players[*chosen];
    if (action.allowed != nullptr && !(player.*action.allowed)) {
        notes.push_back(player.busName + " cannot do that now");
        return MediaKeyOutcome::refused;
    }
    const auto call = QDBusMessage::createMethodCall(QString::fromStdString(player.busName), kMprisObjectPath,
                                                     kMprisPlayerInterface, action.method);
    QDBusPendingCall reply = bus.asyncCall(call, dbusTimeoutUntil(start + kPressBudget));
    reply.waitForFinished();
    if (!reply.isError()) return MediaKeyOutcome::taken;
    notes.push_back(player.busName + " did not take " + action.method + ": " + reply.error().message().toStdString());
    return MediaKeyOutcome::failed;
}

} // namespace

MediaKeyOutcome MprisMediaKeys::press(MediaKey key)
{
    const KeyAction action = actionFor(key);
    std::vector<std::string> notes;
    const MediaKeyOutcome outcome = pressOnActivePlayer(action, notes);
    if (notes.empty()) return outcome;
    std::string line = std::string("[twk/media] ") + action.label + ": " + notes.front();
    for (size_t i = 1; i < notes.size(); ++i) line += "; " + notes[i];
    logLine(line);
    return outcome;
}

} // namespace twk
