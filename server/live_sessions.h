#pragma once

#include <map>
#include <string>

namespace twk::server {

/// Who a realtime session is for, as its credential said when it connected.
struct RealtimeGrant {
    std::string userId;
    std::string secret; // kept in memory only, to count sockets per credential
};

/// Realtime sockets open per credential, counted from the authorised upgrade
/// until the connection is gone, so that one credential cannot fan out.
class LiveSessions {
public:
    static constexpr int maxPerSecret = 2; // a reconnection may overlap the old socket's end

    bool full(const std::string& secret) const
    {
        const auto it = open_.find(secret);
        return it != open_.end() && it->second >= maxPerSecret;
    }
    void opened(const std::string& secret) { ++open_[secret]; }
    void closed(const std::string& secret)
    {
        if (const auto it = open_.find(secret); it != open_.end() && --it->second <= 0) open_.erase(it);
    }

private:
    std::map<std::string, int> open_;
};

} // namespace twk::server
