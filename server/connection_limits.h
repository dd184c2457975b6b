#pragma once

#include <QString>

#include <list>
#include <map>

class QTcpSocket;

namespace twk::server {

class HttpConnection;

/// Caps on open client connections, in total and per peer address, so that a
/// flood of connections that never finish a request cannot use up the file
/// descriptors. At a cap, the oldest connection of the same scope that is
/// only waiting for a request gives way to the new one; only when there is
/// none is the newcomer refused.
class ConnectionLimits {
public:
    struct Caps {
        int total = 512;
        int perPeer = 64;
    };

    explicit ConnectionLimits(Caps caps);

    /// Makes room for a connection from `peer`: true when it may be served.
    bool admit(const QString& peer);
    /// A connection from `peer` is open (call after admit() said yes).
    void opened(const QString& peer, const QTcpSocket* socket, HttpConnection* connection);
    /// The HTTP side is done with it (handed over to the realtime endpoint): never evicted.
    void released(const HttpConnection* connection);
    /// Its socket is gone.
    void closed(const QTcpSocket* socket);

    int open() const { return open_; }
    /// Idle connections closed to make room, since the start.
    long evicted() const { return evicted_; }
    const Caps& caps() const { return caps_; }

    /// The total cap this process can afford: `wanted`, lowered to leave room
    /// under the open-file limit for the database and the listening socket.
    static int affordableTotal(int wanted);

private:
    struct Entry {
        QString peer;
        const QTcpSocket* socket;
        HttpConnection* http; // null once handed over
    };
    bool evictIdle(const QString* peer);
    void forget(std::list<Entry>::iterator entry);

    Caps caps_;
    int open_ = 0;
    long evicted_ = 0;
    std::map<QString, int> perPeer_;
    std::list<Entry> entries_; // oldest first
};

} // namespace twk::server
