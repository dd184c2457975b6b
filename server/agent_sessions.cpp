#include "agent_sessions.h"

#include "common/error.h"

#include <cerrno>

#include <sys/random.h>

namespace twk::server {

std::string newAgentSessionId()
{
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno != EINTR) throw Error("twk.server.random", errno, "no random bytes from the kernel");
        if (n > 0) got += size_t(n);
    }
    static const char* hex = "0123456789abcdef";
    std::string id = "agent_";
    for (const unsigned char b : bytes) id += {hex[b >> 4], hex[b & 15]};
    return id;
}

bool AgentSessions::expired(const Session& s, int64_t nowMs) const
{
    return !s.busy && (nowMs - s.lastUsedMs > limits_.idleMs || nowMs - s.createdMs > limits_.maxAgeMs);
}

void AgentSessions::purge(int64_t nowMs)
{
    std::erase_if(sessions_, [this, nowMs](const auto& entry) { return expired(entry.second, nowMs); });
}

std::string AgentSessions::add(const std::string& userId, std::shared_ptr<AgentConversation> conversation, int64_t nowMs)
{
    purge(nowMs);
    // An installation runs one task at a time; its older idle ones give way first.
    size_t own = 0;
    auto oldestIdle = sessions_.end();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
        if (it->second.userId != userId) continue;
        ++own;
        if (!it->second.busy && (oldestIdle == sessions_.end() || it->second.lastUsedMs < oldestIdle->second.lastUsedMs))
            oldestIdle = it;
    }
    if (own >= limits_.perUser) {
        if (oldestIdle == sessions_.end()) return {};
        sessions_.erase(oldestIdle);
    }
    if (sessions_.size() >= limits_.total) return {};
    std::string id = newAgentSessionId();
    sessions_[id] = Session{userId, std::move(conversation), nowMs, nowMs, false, {}};
    return id;
}

AgentSessions::Session* AgentSessions::find(const std::string& id, const std::string& userId, int64_t nowMs)
{
    const auto it = sessions_.find(id);
    if (it == sessions_.end()) return nullptr;
    if (expired(it->second, nowMs)) {
        sessions_.erase(it);
        return nullptr;
    }
    return it->second.userId == userId ? &it->second : nullptr;
}

} // namespace twk::server
