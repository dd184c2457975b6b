#include "platform/linux/mpris_player_choice.h"

#include <charconv>
#include <tuple>

namespace twk {
namespace {

/// A unique name ":A.B" as the pair (A, B), compared as numbers (":1.10"
/// is newer than ":1.9"); anything else sorts before every real one.
std::pair<long long, long long> ownerSerial(const std::string& owner)
{
    const std::pair<long long, long long> unknown{-1, -1};
    if (owner.size() < 4 || owner[0] != ':') return unknown;
    const char* end = owner.data() + owner.size();
    long long major = 0, minor = 0;
    auto [dot, e1] = std::from_chars(owner.data() + 1, end, major);
    if (e1 != std::errc() || dot == end || *dot != '.') return unknown;
    auto [last, e2] = std::from_chars(dot + 1, end, minor);
    if (e2 != std::errc() || last != end) return unknown;
    return {major, minor};
}

int statusRank(const std::string& status)
{
    if (status == "Playing") return 2;
    if (status == "Paused") return 1;
    return 0;
}

} // namespace

std::optional<size_t> chooseActivePlayer(const std::vector<MprisPlayerState>& players)
{
    std::optional<size_t> best;
    auto key = [&](size_t i) { return std::tuple(statusRank(players[i].playbackStatus), ownerSerial(players[i].owner)); };
    for (size_t i = 0; i < players.size(); ++i) {
        if (!players[i].canControl) continue;
        if (!best || key(i) > key(*best) || (key(i) == key(*best) && players[i].busName < players[*best].busName))
            best = i;
    }
    return best;
}

} // namespace twk
