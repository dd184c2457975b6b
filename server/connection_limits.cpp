#include "connection_limits.h"

#include "http_connection.h"

#include <algorithm>
#include <sys/resource.h>

namespace twk::server {

ConnectionLimits::ConnectionLimits(Caps caps) : caps_(caps) {}

int ConnectionLimits::affordableTotal(int wanted)
{
    constexpr rlim_t reserve = 64; // database, journal, recorder, listening socket, Qt's own
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
    const rlim_t room = limit.rlim_cur > 2 * reserve ? limit.rlim_cur - reserve : limit.rlim_cur / 2;
    return int(std::min<rlim_t>(rlim_t(wanted), room));
}

void ConnectionLimits::forget(std::list<Entry>::iterator entry)
{
    --open_;
    if (const auto it = perPeer_.find(entry->peer); it != perPeer_.end() && --it->second <= 0) perPeer_.erase(it);
    entries_.erase(entry);
}

bool ConnectionLimits::evictIdle(const QString* peer)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (!it->http || (peer && it->peer != *peer) || !it->http->isIdle()) continue;
        HttpConnection* victim = it->http;
        forget(it); // its descriptor is closed right here
        ++evicted_;
        victim->abort();
        return true;
    }
    return false;
}

bool ConnectionLimits::admit(const QString& peer)
{
    const auto count = perPeer_.find(peer);
    if (count != perPeer_.end() && count->second >= caps_.perPeer && !evictIdle(&peer)) return false;
    return open_ < caps_.total || evictIdle(nullptr);
}

void ConnectionLimits::opened(const QString& peer, const QTcpSocket* socket, HttpConnection* connection)
{
    ++open_;
    ++perPeer_[peer];
    entries_.push_back({peer, socket, connection});
}

void ConnectionLimits::released(const HttpConnection* connection)
{
    for (Entry& e : entries_)
        if (e.http == connection) e.http = nullptr;
}

void ConnectionLimits::closed(const QTcpSocket* socket)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->socket == socket) return forget(it);
}

} // namespace twk::server
