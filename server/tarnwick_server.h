#pragma once

#include "agent_endpoint.h"
#include "agent_engine.h"
#include "conversation_engine.h"
#include "http_server.h"
#include "live_sessions.h"
#include "message_recorder.h"
#include "provider_client.h"
#include "realtime_endpoint.h"
#include "request_router.h"
#include "server_options.h"
#include "sqlite_database.h"
#include "usage_service.h"

#include <memory>
#include <string>

namespace twk::server {

/// The whole server, built from its options: storage, the HTTP API and the
/// realtime endpoint on one port.
class TarnwickServer {
public:
    /// Opens the data directory and database and loads the scenario; throws
    /// twk::Error with a message for the user when one of them fails.
    explicit TarnwickServer(const ServerOptions& options);
    ~TarnwickServer();

    /// Binds the port; throws twk::Error when it cannot, or when a provider
    /// key would be open to anyone beyond loopback.
    void listen();
    /// "http://127.0.0.1:8787": where the server listens.
    std::string origin() const;
    const std::string& dataDir() const { return dataDir_; }
    /// Stops accepting, closes every client (realtime ones with "going away")
    /// and gives the close frames a moment to leave.
    void shutdown();

private:
    ServerOptions options_;
    std::string dataDir_;
    std::unique_ptr<SqliteDatabase> db_;
    std::unique_ptr<UsageService> usage_;
    LiveSessions sessions_;
    std::unique_ptr<FormTokens> formTokens_;
    std::unique_ptr<DashboardEndpoint> dashboard_;
    std::unique_ptr<AgentEngine> agentEngine_;
    std::unique_ptr<AgentEndpoint> agent_;
    std::unique_ptr<RequestRouter> router_;
    std::unique_ptr<ProviderClient> provider_; // with a provider key: credentials and sessions come from there
    std::unique_ptr<ConversationEngineFactory> engines_;
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<RealtimeEndpoint> realtime_;
    std::unique_ptr<HttpServer> http_;
};

} // namespace twk::server
