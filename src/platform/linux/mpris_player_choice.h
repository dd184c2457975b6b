#pragma once

#include <optional>
#include <string>
#include <vector>

namespace twk {

/// One MPRIS player on the session bus, as far as it answered when asked.
struct MprisPlayerState {
    std::string busName;        ///< "org.mpris.MediaPlayer2.<player>"
    std::string owner;          ///< its unique bus name ":1.N"; empty when unknown
    std::string playbackStatus; ///< "Playing", "Paused", "Stopped"; empty when it did not say
    bool canControl = true;     ///< properties a player leaves out count as true
    bool canGoNext = true;
    bool canGoPrevious = true;
};

/// The player media keys go to, as an index into `players`, or nothing when
/// none qualifies. Players that refuse control (CanControl false) are
/// passed over. Of the rest, a Playing one beats a Paused one, which beats
/// any other (Stopped, or a player that did not answer); among equals the
/// most recently started wins (the highest serial of its unique name: the bus
/// hands those out in increasing order), then the first by bus name.
std::optional<size_t> chooseActivePlayer(const std::vector<MprisPlayerState>& players);

} // namespace twk
