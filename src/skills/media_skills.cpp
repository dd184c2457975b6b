#include "skills/skills.h"

namespace twk {

void Skills::postMediaKey(MediaKey key) { s_.mediaKeys.press(key); }

// Like the keys on a keyboard these succeed whether or not a player listens.
std::string Skills::playPauseMedia()
{
    postMediaKey(MediaKey::playPause);
    return ok("toggled play/pause");
}

std::string Skills::nextTrack()
{
    postMediaKey(MediaKey::next);
    return ok("next track");
}

std::string Skills::previousTrack()
{
    postMediaKey(MediaKey::previous);
    return ok("previous track");
}

} // namespace twk
