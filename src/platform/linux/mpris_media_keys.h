#pragma once

#include "platform/media_keys.h"

namespace twk {

/// Media keys for the Linux desktop: the key goes as an MPRIS call
/// (PlayPause, Next, Previous on /org/mpris/MediaPlayer2) to the active
/// player on the D-Bus session bus.
///
/// The active player: of the players ("org.mpris.MediaPlayer2.*") that
/// accept control, a Playing one, else a Paused one, else any; among equals
/// the most recently started (highest serial of its unique name ":1.N"), then
/// the first by bus name. Next and Previous are not sent to a player that
/// says it cannot go there (it would ignore them anyway); play/pause is
/// always sent. A player that leaves out a capability counts as capable; one
/// that does not answer counts as stopped.
///
/// Once connected to the bus, a press takes at most about half a second
/// however the players behave: 250 ms to ask them all (in parallel), the
/// rest for the key itself. A press is taken when the player answered the
/// call without an error. With no player nothing happens; what went wrong is
/// logged as one "[twk/media]" line and told by the outcome. Callable from
/// any thread: QtDBus serves the session connection on its own thread and
/// each press only waits on its replies.
class MprisMediaKeys : public MediaKeys {
public:
    MediaKeyOutcome press(MediaKey key) override;
};

} // namespace twk
