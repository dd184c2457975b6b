#pragma once

#include "backend/wire_records.h"
#include "common/task.h"
#include "platform/http.h"
#include "platform/settings.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace twk {

/// HTTP client of the product backend: realtime credentials, usage, and the
/// agent model's rounds. Holds no state beyond its origin; the installation
/// identifier lives in the settings under "twk.userId".
///
/// Request operations may be started from any thread; they continue on the
/// HTTP client's thread, so callers hop to the main loop before touching
/// shared state. Failures are raised: transport errors unchanged ("twk.network"),
/// decoding errors ("twk.decode"), "twk.backend" / "twk.agent" for refused
/// requests, and `QuotaError` for a mint refused for lack of quota.
class Backend {
public:
    static constexpr Duration usageTimeout = std::chrono::seconds(60);
    static constexpr Duration agentTimeout = std::chrono::seconds(120);

    Backend(HttpClient& http, Settings& settings, std::string baseURL);

    const std::string& baseURL() const { return baseURL_; }

    /// The installation identifier, created (lower-case UUID) and stored on
    /// first use; concurrent first uses agree on one identifier.
    std::string userId();

    Task<SessionMint> mintSession();
    Task<Status> fetchStatus();
    /// Fire-and-forget bookkeeping: never raises.
    Task<void> trackUsage(double seconds, std::optional<std::map<std::string, int64_t>> tokens = std::nullopt);
    Task<AgentRound> agentStart(std::string description, std::optional<std::string> screenshotBase64,
                                int64_t displayWidth, int64_t displayHeight);
    Task<AgentRound> agentContinue(std::string sessionId, std::vector<AgentToolResult> toolResults);
    Task<AgentRound> agentVerify(std::string sessionId, std::string prompt, std::optional<std::string> screenshotBase64);

    std::string signInLink();
    std::string dashboardLink();

private:
    HttpRequest jsonPost(const std::string& path, const nlohmann::ordered_json& body, Duration timeout) const;
    Task<HttpResponse> send(HttpRequest request);
    Task<AgentRound> postAgent(const std::string& path, nlohmann::ordered_json body);

    HttpClient& http_;
    Settings& settings_;
    std::string baseURL_;
    std::mutex userIdMutex_;
};

} // namespace twk
