#pragma once

#include "platform/linux/mpris_player_choice.h"

#include <QString>

#include <chrono>
#include <string>
#include <vector>

class QDBusConnection;

namespace twk {

inline const QString kMprisObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
inline const QString kMprisPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

/// A D-Bus call time-out (ms, at least 1) that ends the call by `deadline`.
int dbusTimeoutUntil(std::chrono::steady_clock::time_point deadline);

/// The MPRIS players on `bus` (names "org.mpris.MediaPlayer2.*") with their
/// owners and Player properties, in bus-name order. The players are asked all
/// at once and every call gives up at `deadline`, so a hung player costs no
/// more than that. A player that does not answer stays in the list with an
/// empty status; one that left the bus meanwhile is dropped. What went wrong
/// is appended to `problems`.
std::vector<MprisPlayerState> queryMprisPlayers(const QDBusConnection& bus,
                                                std::chrono::steady_clock::time_point deadline,
                                                std::vector<std::string>& problems);

} // namespace twk
