#include "common/text_case.h"
#include "common/url.h"
#include "common/utf8.h"
#include "skills/music_library.h"
#include "skills/skills.h"

#include <filesystem>

namespace twk {
namespace {

// The music service's public web search; no desktop handler takes its own
// "music:" scheme here.
constexpr const char* musicSearchBase = "https://music.apple.com/search?term=";

/// The query percent-encoded for a URL, or nothing when it is blank or not text.
std::optional<std::string> encodedQuery(const std::string& query)
{
    if (isBlank(query) || !isValidUtf8(query)) return std::nullopt;
    return percentEncode(query);
}

} // namespace

std::string Skills::playOnAppleMusic(const std::string& query)
{
    const auto encoded = encodedQuery(query);
    if (!encoded) return err("Apple Music: invalid query");

    if (const auto folder = s_.host.musicFolder()) {
        if (const auto track = findMusicFile(*folder, query)) {
            if (!s_.workspace.openURL(fileUrl(*track)))
                return err("Apple Music: could not play " + std::filesystem::path(*track).filename().string());
            return ok("playing " + query + " from your music library");
        }
    }
    if (!s_.workspace.openURL(musicSearchBase + *encoded))
        return err("Apple Music: no library match for " + query + ", and no web browser is set up to open the search");
    return ok("no library match for " + query +
              "; opened Apple Music search — add it to your library or click play");
}

Task<std::string> Skills::playOnSpotify(std::string query)
{
    const auto encoded = encodedQuery(query);
    if (!encoded) co_return err("Spotify: invalid query");
    const bool accepted = s_.workspace.openURL("spotify:search:" + *encoded);
    auto bringForward = openApp("Spotify");
    co_await std::move(bringForward);
    if (!accepted) co_return err("could not open Spotify");
    co_return ok("opened Spotify search for " + query +
                 " — Spotify doesn't expose search via automation, so you'll need to click the play button");
}

} // namespace twk
