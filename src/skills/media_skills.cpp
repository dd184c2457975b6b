#include "skills/skills.h"

namespace twk {

// Unlike the keys on a keyboard these can tell that nothing listened, and say so.
std::string Skills::postMediaKey(MediaKey key, const std::string& reply)
{
    switch (s_.mediaKeys.press(key)) {
    case MediaKeyOutcome::taken: return ok(reply);
    case MediaKeyOutcome::noPlayer: return err("no media player is running");
    case MediaKeyOutcome::refused: return err("the media player cannot do that right now");
    case MediaKeyOutcome::failed: break;
    }
    return err("the media player did not respond");
}

std::string Skills::playPauseMedia()
{
    return postMediaKey(MediaKey::playPause, "toggled play/pause");
}

std::string Skills::nextTrack()
{
    return postMediaKey(MediaKey::next, "next track");
}

std::string Skills::previousTrack()
{
    return postMediaKey(MediaKey::previous, "previous track");
}

} // namespace twk
