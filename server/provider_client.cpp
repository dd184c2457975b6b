#include "provider_client.h"

#include "common/log.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

#include <nlohmann/json.hpp>

namespace twk::server {
namespace {

using nlohmann::json;

/// The provider's error code ("invalid_api_key"), for the log: a short
/// identifier only, never its message, which may quote part of the key.
std::string errorCode(const QByteArray& body)
{
    const json answer = json::parse(body.constData(), body.constData() + body.size(), nullptr, false);
    if (!answer.is_object() || !answer.contains("error") || !answer["error"].is_object()) return {};
    const json& code = answer["error"].value("code", json());
    if (!code.is_string()) return {};
    const std::string text = code;
    if (text.size() > 64 || text.find_first_not_of("abcdefghijklmnopqrstuvwxyz_0123456789") != std::string::npos) return {};
    return text;
}

} // namespace

void limitAnswerSize(QNetworkReply* reply, qint64 maxBytes)
{
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, maxBytes](qint64 received, qint64) {
        if (received > maxBytes) reply->abort();
    });
}

ProviderReply readReply(QNetworkReply* reply, qint64 maxBytes)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    ProviderReply r;
    r.status = status.isValid() ? status.toInt() : 0;
    r.timedOut = reply->error() == QNetworkReply::TimeoutError || reply->error() == QNetworkReply::OperationCanceledError;
    r.body = reply->bytesAvailable() <= maxBytes ? reply->readAll() : QByteArray();
    r.error = reply->errorString().toStdString();
    return r;
}

ProviderFailure failureForStatus(int httpStatus)
{
    const std::string http = " (HTTP " + std::to_string(httpStatus) + ")";
    if (httpStatus == 401 || httpStatus == 403)
        return {502, "the speech provider refused this server's API key" + http + "; the server's operator must check it"};
    if (httpStatus == 429) return {503, "the speech provider is limiting this server's requests" + http + "; try again later"};
    if (httpStatus >= 500) return {503, "the speech provider is unavailable" + http + "; try again later"};
    return {502, "the speech provider refused the request for a credential" + http};
}

ProviderClient::ProviderClient(ProviderSettings settings, QObject* parent) : QObject(parent), settings_(std::move(settings))
{
    network_.setAutoDeleteReplies(true);
}

QUrl ProviderClient::realtimeUrl() const
{
    QUrl url(QString::fromStdString(settings_.baseUrl + "/v1/realtime"));
    url.setScheme(url.scheme() == "https" ? "wss" : "ws");
    QUrlQuery query;
    query.addQueryItem("model", QString::fromStdString(settings_.model));
    url.setQuery(query);
    return url;
}

void ProviderClient::mintClientSecret(std::function<void(const MintResult&)> done)
{
    QNetworkRequest request(QUrl(QString::fromStdString(settings_.baseUrl + "/v1/realtime/client_secrets")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Authorization", QByteArray::fromStdString("Bearer " + settings_.apiKey));
    request.setTransferTimeout(settings_.timeoutMs);
    const json body = {{"session", {{"type", "realtime"}, {"model", settings_.model}}}};
    QNetworkReply* reply = network_.post(request, QByteArray::fromStdString(body.dump()));
    limitAnswerSize(reply, maxAnswerBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done = std::move(done)] {
        const ProviderReply r = readReply(reply, maxAnswerBytes);
        const int status = r.status;
        const QByteArray& answer = r.body;
        if (status == 0) {
            logLine("[twk/server] provider credential request failed: " + r.error);
            const std::string seconds = std::to_string((settings_.timeoutMs + 999) / 1000);
            done(ProviderFailure{503, r.timedOut ? "the speech provider did not answer within " + seconds + " s; try again later"
                                                 : "the speech provider cannot be reached; try again later"});
            return;
        }
        if (status < 200 || status > 299) {
            const std::string code = errorCode(answer);
            logLine("[twk/server] provider credential request refused: HTTP " + std::to_string(status) +
                    (code.empty() ? "" : " (" + code + ")"));
            done(failureForStatus(status));
            return;
        }
        const json parsed = json::parse(answer.constData(), answer.constData() + answer.size(), nullptr, false);
        const json* value = parsed.is_object() && parsed.contains("value") ? &parsed["value"] : nullptr;
        if (value == nullptr || !value->is_string() || value->get_ref<const std::string&>().empty()) {
            logLine("[twk/server] provider credential answer without a client secret");
            done(ProviderFailure{502, "the speech provider's answer held no credential"});
            return;
        }
        const json expires = parsed.value("expires_at", json());
        done(ProviderSecret{*value, expires.is_number_integer() ? expires.get<int64_t>() : 0});
    });
}

} // namespace twk::server
