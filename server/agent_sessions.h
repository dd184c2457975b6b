#pragma once

#include "agent_engine.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace twk::server {

/// The agent tasks in progress, by session id, bounded in number (overall
/// and per installation) and in age. A task's session ends when it has been
/// idle or alive too long; the oldest idle task of an installation makes
/// room for its new one. A session whose round is running is never dropped.
class AgentSessions {
public:
    struct Limits {
        size_t total = 256;
        size_t perUser = 8;
        int64_t idleMs = 15 * 60 * 1000;
        int64_t maxAgeMs = 2 * 60 * 60 * 1000;
    };
    struct Session {
        std::string userId;
        std::shared_ptr<AgentConversation> conversation;
        int64_t createdMs = 0;
        int64_t lastUsedMs = 0;
        bool busy = false;
        std::vector<std::string> openToolUses; // ids of the last round's tool uses
    };

    explicit AgentSessions(Limits limits) : limits_(limits) {}
    AgentSessions() : AgentSessions(Limits{}) {}

    /// A new session's id, or "" when there is no room.
    std::string add(const std::string& userId, std::shared_ptr<AgentConversation> conversation, int64_t nowMs);
    /// The live session of `userId` with that id, or null (unknown, someone else's or expired).
    Session* find(const std::string& id, const std::string& userId, int64_t nowMs);
    /// The session with that id whatever its state, or null.
    Session* get(const std::string& id)
    {
        const auto it = sessions_.find(id);
        return it == sessions_.end() ? nullptr : &it->second;
    }
    void remove(const std::string& id) { sessions_.erase(id); }
    size_t size() const { return sessions_.size(); }

private:
    bool expired(const Session& s, int64_t nowMs) const;
    void purge(int64_t nowMs);

    Limits limits_;
    std::map<std::string, Session> sessions_;
};

/// A fresh unguessable session id.
std::string newAgentSessionId();

} // namespace twk::server
