#pragma once

namespace twk {

/// The keyboard's media keys.
enum class MediaKey { playPause, next, previous };

/// What became of a media key press.
enum class MediaKeyOutcome {
    /// A player took the key.
    taken,
    /// No player to take it: none runs, or none accepts control.
    noPlayer,
    /// The player said it cannot do that now (no next track, say).
    refused,
    /// The player did not take it: no answer in time, or an error.
    failed,
};

/// Presses a media key for whichever player the desktop routes media keys
/// to. Callable from any thread; may wait briefly on the player (bounded).
/// Unlike a real key, it tells whether a player took the press.
class MediaKeys {
public:
    virtual ~MediaKeys() = default;

    virtual MediaKeyOutcome press(MediaKey key) = 0;
};

} // namespace twk
