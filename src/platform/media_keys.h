#pragma once

namespace twk {

/// The keyboard's media keys.
enum class MediaKey { playPause, next, previous };

/// Presses a media key for whichever player the desktop routes media keys
/// to. Callable from any thread; may wait briefly on the player (bounded),
/// never fails: with no player, nothing happens, as with a real key.
class MediaKeys {
public:
    virtual ~MediaKeys() = default;

    virtual void press(MediaKey key) = 0;
};

} // namespace twk
