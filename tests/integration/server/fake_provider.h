#pragma once

// A stand-in for the hosted realtime service, on loopback in a thread of its
// own (so it answers while a test blocks on a child process): HTTP for
// POST /v1/realtime/client_secrets and a WebSocket for /v1/realtime on one
// port. It checks what the real one checks (the API key on the mint, the
// request's shape, a minted secret on the socket) and plays what the test
// scripts on each socket. More endpoints can be added beside the mint.

#include <nlohmann/json.hpp>

#include <QByteArray>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace twk::test {

/// One realtime socket's side in the provider's thread: what a script may do.
class FakeProviderSocket {
public:
    virtual ~FakeProviderSocket() = default;
    virtual void sendText(const std::string& text) = 0;
    virtual void sendBinary(const QByteArray& data) = 0;
    virtual void close(int code, const std::string& reason) = 0;
    /// Stops reading the socket (a provider that does not keep up).
    virtual void stopReading() = 0;
    virtual void abort() = 0;
};

/// A language-model request (Anthropic Messages or chat completions) as the fake received it.
struct FakeModelRequest {
    std::string target;
    std::map<std::string, std::string> headers; // x-api-key, anthropic-version, authorization, content-type (when sent)
    nlohmann::json body;
};

struct FakeProviderFrame {
    bool binary = false;
    QByteArray data;
};

class FakeProvider {
public:
    struct Settings {
        std::string apiKey = "sk-test-7c1e0f2a9b4d";
        std::string model = "gpt-realtime";
        int mintStatus = 200;  // anything else: answered with this status and an error body
        std::chrono::milliseconds mintDelay{0};
        bool refuseSockets = false; // every realtime handshake answered 401
        /// Called in the provider's thread for each socket when it opens and for each frame it receives.
        std::function<void(FakeProviderSocket&)> onOpen;
        std::function<void(FakeProviderSocket&, const FakeProviderFrame&)> onFrame;
        /// Answers POST /v1/messages and /v1/chat/completions (status, body), in the provider's thread.
        std::function<std::pair<int, nlohmann::json>(const FakeModelRequest&)> onModelRequest;
    };

    explicit FakeProvider(Settings settings);
    ~FakeProvider();
    FakeProvider(const FakeProvider&) = delete;
    FakeProvider& operator=(const FakeProvider&) = delete;

    int port() const;
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port()); }

    struct Observed {
        std::vector<nlohmann::json> mintBodies;     // mints that passed the key check
        std::vector<std::string> mintRefusals;      // why a mint was refused (key, shape)
        std::vector<std::string> issuedSecrets;
        std::vector<std::string> socketTargets;     // path and query of each accepted socket
        std::vector<std::string> socketRefusals;
        std::vector<FakeProviderFrame> frames;      // every frame received, in order
        std::vector<int> closeCodes;                // close code of each socket that ended
        std::vector<std::string> closeReasons;
        int openSockets = 0;
        std::vector<FakeModelRequest> modelRequests;
    };
    /// A copy of what it has seen so far.
    Observed observed() const;
    /// Waits until `done` holds for what it has seen.
    bool waitFor(const std::function<bool(const Observed&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

/// A port on 127.0.0.1 on which nothing listens (a provider that is down).
int closedPort();

} // namespace twk::test
