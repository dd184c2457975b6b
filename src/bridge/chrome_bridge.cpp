#include "bridge/chrome_bridge.h"

#include "common/log.h"
#include "common/uuid.h"

namespace twk {
namespace {

constexpr const char* domain = "twk.chrome";

Error notConnected()
{
    return Error(domain, 0,
                 "Chrome extension not connected. Open Chrome with tarnwick extension installed and try again.");
}

/// The answer's `result` as the text handed back: objects and arrays as
/// compact JSON, anything else (absent, a bare string or number) as "{}".
std::string resultText(const nlohmann::json& answer)
{
    const auto result = answer.find("result");
    if (result == answer.end() || !(result->is_object() || result->is_array())) return "{}";
    return result->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

/// A fresh request id: a random UUID in upper-case canonical form.
std::string newRequestId()
{
    std::string id = makeUuid();
    for (char& c : id)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return id;
}

} // namespace

ChromeBridge::ChromeBridge(MainLoop& loop, WebSocketListener& listener, ExtensionOriginPolicy origins,
                           std::uint16_t listenPort)
    : loop_(loop), listener_(listener), origins_(std::move(origins)), listenPort_(listenPort)
{
}

ChromeBridge::~ChromeBridge()
{
    *alive_ = false;
    if (connection_) connection_->cancel();
}

void ChromeBridge::start()
{
    if (started_) return;
    started_ = true;
    ListenerOptions options;
    options.port = listenPort_;
    options.loopbackOnly = true;
    options.maxMessageBytes = maxMessageBytes;
    options.acceptOrigin = [this, alive = std::weak_ptr<bool>(alive_)](const std::string& origin) {
        return !alive.expired() && origins_.admit(origin);
    };
    auto onConnection = [this, alive = std::weak_ptr<bool>(alive_)](std::shared_ptr<ListenerConnection> connection) {
        if (alive.expired()) {
            connection->cancel();
            return;
        }
        attach(std::move(connection));
    };
    if (const auto started = listener_.listen(options, std::move(onConnection)); !started) {
        logLine("[twk/chrome] start failed: " + started.error().description());
        return;
    }
    listening_ = true;
    logLine("[twk/chrome] WS server listening on ws://127.0.0.1:" + std::to_string(listenPort_));
}

void ChromeBridge::attach(std::shared_ptr<ListenerConnection> connection)
{
    if (connection_) {
        // Requests sent on the old connection can no longer be answered.
        auto old = std::move(connection_);
        handleDisconnect();
        old->cancel();
    }
    const std::uint64_t generation = ++generation_;
    connection_ = connection;
    const std::weak_ptr<bool> alive = alive_;
    // Only the current connection's events count.
    const auto current = [this, alive, generation] { return !alive.expired() && generation == generation_; };
    ListenerConnectionHandlers handlers;
    handlers.onReady = [this, current] {
        if (!current()) return;
        isConnected_ = true;
        logLine("[twk/chrome] extension connected");
    };
    handlers.onMessage = [this, current](std::string bytes) {
        if (current() && !bytes.empty()) handleIncoming(bytes);
    };
    handlers.onFailed = [this, current](const std::string& description) {
        if (!current()) return;
        logLine("[twk/chrome] connection failed: " + description);
        handleDisconnect();
    };
    handlers.onCancelled = [this, current] {
        if (current()) handleDisconnect();
    };
    connection->start(std::move(handlers));
}

void ChromeBridge::handleIncoming(const std::string& bytes)
{
    const auto answer = nlohmann::json::parse(bytes, nullptr, false);
    if (!answer.is_object()) return;
    const auto id = answer.find("id");
    if (id == answer.end() || !id->is_string()) return;
    const auto error = answer.find("error");
    if (error != answer.end() && error->is_string())
        complete(id->get<std::string>(), Error(domain, 1, error->get<std::string>()));
    else
        complete(id->get<std::string>(), resultText(answer));
}

void ChromeBridge::handleDisconnect()
{
    isConnected_ = false;
    connection_.reset();
    auto waiting = std::move(pending_);
    pending_.clear();
    for (auto& [id, done] : waiting) done(Error(domain, -1, "extension disconnected"));
}

void ChromeBridge::complete(const std::string& id, Expected<std::string> outcome)
{
    const auto entry = pending_.find(id);
    if (entry == pending_.end()) return;
    Completion done = std::move(entry->second);
    pending_.erase(entry);
    done(std::move(outcome));
}

Task<Expected<std::string>> ChromeBridge::request(std::string method, nlohmann::json params, Duration timeout)
{
    co_await onMain(loop_);
    if (!isConnected_ || !connection_) co_return notConnected();
    const std::string id = newRequestId();
    nlohmann::json message = nlohmann::json::object();
    message["id"] = id;
    message["method"] = std::move(method);
    message["params"] = std::move(params);
    const std::string text = message.dump(); // throws on text that is not UTF-8: nothing is sent

    auto start = [this, id, text, timeout](Completion done) {
        pending_.emplace(id, std::move(done));
        const std::weak_ptr<bool> alive = alive_;
        connection_->sendText(text, [this, alive, id](std::optional<std::string> sendError) {
            if (!sendError || alive.expired()) return;
            loop_.post([this, alive, id, description = std::move(*sendError)] {
                if (!alive.expired()) complete(id, Error("twk.network", -1, description));
            });
        });
        loop_.after(timeout, [this, alive, id] {
            if (!alive.expired()) complete(id, Error(domain, 408, "request timed out"));
        });
    };
    co_return co_await awaitCallback<Expected<std::string>>(std::move(start));
}

} // namespace twk
