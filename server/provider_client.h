#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

namespace twk::server {

/// The hosted realtime service this server stands in front of.
struct ProviderSettings {
    std::string baseUrl; // "https://api.openai.com"; endpoint paths are appended
    std::string apiKey;  // never logged, never in an answer
    std::string model;
    int timeoutMs = 15'000;
};

/// A client secret the provider minted.
struct ProviderSecret {
    std::string value;
    int64_t expiresAt = 0; // Unix seconds, as the provider states it
};

/// Why the provider gave no secret, as answered to our own client: 502 when
/// it refused (the key, the request), 503 when it is unreachable, overloaded
/// or too slow. `message` never carries the key nor the provider's own text.
struct ProviderFailure {
    int status = 503;
    std::string message;
};

class ProviderClient : public QObject {
public:
    explicit ProviderClient(ProviderSettings settings, QObject* parent = nullptr);

    using MintResult = std::variant<ProviderSecret, ProviderFailure>;
    /// POST /v1/realtime/client_secrets for a realtime session of the model;
    /// `done` is called once, on this thread, unless the client is destroyed first.
    void mintClientSecret(std::function<void(const MintResult&)> done);

    /// ws(s)://…/v1/realtime?model=… for the model.
    QUrl realtimeUrl() const;
    const ProviderSettings& settings() const { return settings_; }

    /// Largest answer read from the provider.
    static constexpr qint64 maxAnswerBytes = 1024 * 1024;

private:
    ProviderSettings settings_;
    QNetworkAccessManager network_;
};

/// What a hosted service's HTTP answer amounts to.
struct ProviderReply {
    int status = 0;      // 0: no answer came (unreachable, timed out, aborted)
    bool timedOut = false;
    QByteArray body;     // empty when larger than allowed
    std::string error;   // the transport's words, for the log
};
/// Aborts `reply` as soon as its answer grows beyond `maxBytes`.
void limitAnswerSize(QNetworkReply* reply, qint64 maxBytes);
/// Reads a finished reply.
ProviderReply readReply(QNetworkReply* reply, qint64 maxBytes);

/// The failure for an answer with this HTTP status (not 2xx).
ProviderFailure failureForStatus(int httpStatus);

} // namespace twk::server
