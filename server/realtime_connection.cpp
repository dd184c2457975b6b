#include "realtime_connection.h"

#include "audio_append_scan.h"
#include "common/base64.h"
#include "common/log.h"
#include "json_input.h"
#include "session_meter.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include <set>

namespace twk::server {
namespace {

using nlohmann::json;

bool isClientEventType(const std::string& type)
{
    static const std::set<std::string> known{
        "session.update",           "input_audio_buffer.append",   "input_audio_buffer.commit",
        "input_audio_buffer.clear", "conversation.item.create",    "conversation.item.truncate",
        "conversation.item.delete", "conversation.item.retrieve",  "response.create",
        "response.cancel",          "output_audio_buffer.clear",
    };
    return known.count(type) != 0;
}

} // namespace

RealtimeConnection::RealtimeConnection(QWebSocket* socket, QTcpSocket* transport, int number, ConversationEngineFactory& engines,
                                       MessageRecorder* recorder, QObject* parent)
    : QObject(parent), socket_(socket), transport_(transport), number_(number), recorder_(recorder)
{
    socket_->setParent(this);
    socket_->setMaxAllowedIncomingMessageSize(maxMessageBytes);
    stallTimer_.setSingleShot(true);
    connect(&stallTimer_, &QTimer::timeout, this, [this] {
        log("dropped: the client did not read what was sent");
        drop();
    });
    connect(socket_, &QWebSocket::bytesWritten, this, [this] { checkBackpressure(); });
    connect(socket_, &QWebSocket::textMessageReceived, this, [this](const QString& text) { receive(text.toUtf8()); });
    connect(socket_, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& data) { receive(data); });
    connect(socket_, &QWebSocket::disconnected, this, [this] {
        open_ = false;
        log("disconnected (close code " + std::to_string(int(socket_->closeCode())) + ")");
        deleteLater();
    });
    const QString model = QUrlQuery(socket_->requestUrl()).queryItemValue("model");
    log("connected (model " + model.toStdString() + ")");
    json created = serverEvent("session.created");
    created["session"] = {{"id", "sess_" + std::to_string(number_)}, {"type", "realtime"}, {"model", model.toStdString()}};
    send(created);
    engine_ = engines.create(*this, number_);
}

RealtimeConnection::~RealtimeConnection() = default;

void RealtimeConnection::log(const std::string& text) const
{
    logLine("[twk/server] realtime #" + std::to_string(number_) + " " + text);
}

json RealtimeConnection::serverEvent(const char* type)
{
    return {{"type", type}, {"event_id", "event_" + std::to_string(number_) + "_" + std::to_string(++events_)}};
}

void RealtimeConnection::send(const json& event)
{
    if (!open_) return;
    socket_->sendTextMessage(QString::fromStdString(event.dump(-1, ' ', false, json::error_handler_t::replace)));
    checkBackpressure();
}

void RealtimeConnection::meterWith(UsageService& usage, const std::string& userId)
{
    new SessionMeter(usage, userId, [this] {
        log("quota used up: ending the session");
        json error = serverEvent("error");
        error["error"] = {{"type", "invalid_request_error"}, {"code", "quota_exceeded"},
                          {"message", "this month's minutes are used up"}};
        send(error);
        close(int(QWebSocketProtocol::CloseCodePolicyViolated), "quota exceeded");
    }, this);
}

void RealtimeConnection::checkBackpressure()
{
    const QTcpSocket* transport = transport_.data();
    const qint64 pending = transport != nullptr ? transport->bytesToWrite() : 0;
    if (pending <= maxPendingOutput) {
        stallTimer_.stop();
    } else if (pending > hardPendingOutput) {
        log("dropped: " + std::to_string(pending) + " bytes the client did not read");
        drop();
    } else if (!stallTimer_.isActive()) {
        stallTimer_.start(stallMs);
    }
}

void RealtimeConnection::drop()
{
    if (!open_) return;
    open_ = false;
    stallTimer_.stop();
    socket_->abort();
}

void RealtimeConnection::close(int code, const std::string& reason)
{
    if (!open_) return;
    open_ = false;
    socket_->close(QWebSocketProtocol::CloseCode(code), QString::fromStdString(reason));
}

void RealtimeConnection::sendError(const std::string& code, const std::string& message, const json& clientMessage)
{
    log("refused a message: " + message);
    json error = serverEvent("error");
    error["error"] = {{"type", "invalid_request_error"}, {"code", code}, {"message", message}};
    if (clientMessage.is_object() && clientMessage.contains("event_id")) error["error"]["event_id"] = clientMessage["event_id"];
    send(error);
}

void RealtimeConnection::receive(const QByteArray& utf8)
{
    if (!open_) return;
    try {
        handle(utf8);
    } catch (const std::exception& e) {
        // One bad message must not take the server down with it.
        sendError("server_error", std::string("the message could not be handled: ") + e.what(), json());
    }
}

void RealtimeConnection::handle(const QByteArray& utf8)
{
    const std::string_view text(utf8.constData(), size_t(utf8.size()));
    // Appends come fifty times a second per session; reading them without
    // the general parser spares lexing kilobytes of Base64 each time. The
    // recorder keeps the general path so what it writes never changes.
    if (!recorder_) {
        if (const auto append = scanAudioAppend(text)) {
            engine_->onClientMessage(*append);
            if (open_) handleAudio(*append);
            return;
        }
    }
    JsonInput input = parseJsonInput(text);
    json& message = input.value;
    if (recorder_) recorder_->record(number_, QDateTime::currentMSecsSinceEpoch(), text, input.ok() ? &message : nullptr);
    if (!input.ok()) return sendError("invalid_json", "the message is " + input.error, json());
    if (!message.is_object()) return sendError("invalid_json", "the message is not a JSON object", json());
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string())
        return sendError("missing_type", "the message has no string \"type\"", message);
    const std::string kind = *type;
    if (!isClientEventType(kind)) return sendError("unknown_event_type", "unknown message type \"" + kind + "\"", message);

    if (kind == "session.update") {
        session_.apply(message);
        json updated = serverEvent("session.updated");
        updated["session"] = message.value("session", json::object());
        send(updated);
    }
    engine_->onClientMessage(message);
    if (kind == "input_audio_buffer.append" && open_) handleAudio(message);
}

void RealtimeConnection::handleAudio(const json& message)
{
    const auto audio = message.find("audio");
    if (audio == message.end() || !audio->is_string())
        return sendError("invalid_value", "\"audio\" must be a base64 string", message);
    const std::string& b64 = audio->get_ref<const std::string&>();
    // Strict Base64 (what clients send) decodes on the fast path; anything
    // else gets Qt's more lenient verdict, as before.
    QByteArray lenient;
    std::string_view pcm;
    if (base64DecodeInto(b64, decodedAudio_)) {
        pcm = std::string_view(reinterpret_cast<const char*>(decodedAudio_.data()), decodedAudio_.size());
    } else {
        const auto decoded = QByteArray::fromBase64Encoding(QByteArray(b64.data(), qsizetype(b64.size())),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) return sendError("invalid_value", "\"audio\" is not valid base64", message);
        lenient = decoded.decoded;
        pcm = std::string_view(lenient.constData(), size_t(lenient.size()));
    }
    engine_->onInputAudio(pcm);
    if (!session_.turnDetection) return;
    for (const VadEvent& event : vad_.push(pcm)) {
        if (!open_) return;
        const bool started = event.kind == VadEvent::Kind::speechStarted;
        if (started) speechItemId_ = "item_" + std::to_string(number_) + "_" + std::to_string(++items_);
        json out = serverEvent(started ? "input_audio_buffer.speech_started" : "input_audio_buffer.speech_stopped");
        out[started ? "audio_start_ms" : "audio_end_ms"] = event.atMs;
        out["item_id"] = speechItemId_;
        send(out);
        log(std::string(started ? "speech_started" : "speech_stopped") + " at " + std::to_string(event.atMs) + " ms");
        engine_->onVoiceActivity(event);
    }
}

} // namespace twk::server
