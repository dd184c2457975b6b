#include "voice/realtime_client.h"

#include "common/base64.h"
#include "common/log.h"
#include "common/text_case.h"
#include "voice/audio_delta_scan.h"
#include "voice/realtime_decoding.h"

#include <stdexcept>

namespace twk {

using nlohmann::json;
using realtime::stringField;

namespace {

constexpr int kGoingAway = 1001;

} // namespace

std::shared_ptr<RealtimeClient> RealtimeClient::create(WebSocketFactory& sockets, std::string realtimeOrigin,
                                                       std::string instructions, json tools, std::string voice,
                                                       std::vector<std::string> modalities)
{
    if (!tools.is_array()) throw std::invalid_argument("RealtimeClient: tools must be a JSON array");
    realtime::SessionConfig config{std::move(instructions), std::move(tools), std::move(voice),
                                   std::move(modalities)};
    return std::shared_ptr<RealtimeClient>(new RealtimeClient(sockets, std::move(realtimeOrigin), std::move(config)));
}

RealtimeClient::RealtimeClient(WebSocketFactory& sockets, std::string realtimeOrigin, realtime::SessionConfig config)
    : sockets_(sockets), origin_(std::move(realtimeOrigin)), config_(std::move(config))
{
}

RealtimeClient::~RealtimeClient()
{
    if (task_) task_->close(kGoingAway);
}

void RealtimeClient::connect(const std::string& clientSecret, const std::string& model)
{
    std::shared_ptr<WebSocket> socket;
    {
        std::lock_guard lock(mutex_);
        if (task_) return;
        socket = sockets_.makeWebSocket();
        task_ = socket;
    }
    WebSocketRequest request{realtime::endpointUrl(origin_, model), {{"Authorization", "Bearer " + clientSecret}},
                             seconds(60)};
    logLine("[realtime] connecting to " + request.url);
    socket->open(std::move(request), makeHandlers());
    // The socket keeps it until the handshake is done.
    sendMessage(realtime::sessionUpdate(config_));
    {
        std::lock_guard lock(mutex_);
        configured_ = true;
    }
    deliver(realtime::State{SessionStatus::listening()});
}

WebSocketHandlers RealtimeClient::makeHandlers()
{
    const std::weak_ptr<RealtimeClient> weak = weak_from_this();
    WebSocketHandlers handlers;
    handlers.onText = [weak](std::string_view text) {
        if (const auto self = weak.lock()) self->handleMessage(text);
    };
    handlers.onBinary = [weak](std::span<const std::uint8_t> data) {
        // Undecodable UTF-8 fails the JSON parse, so it is ignored like empty text.
        if (const auto self = weak.lock())
            self->handleMessage(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    };
    handlers.onFailure = [weak](const std::string& description) {
        if (const auto self = weak.lock()) self->handleFailure(description);
    };
    handlers.onSendError = [](const std::string& description) { logLine("[realtime] send error: " + description); };
    return handlers;
}

void RealtimeClient::send(std::span<const std::uint8_t> audio)
{
    {
        // Audio captured while connect() is still opening the socket would go
        // ahead of the session's configuration: it is dropped instead.
        std::lock_guard lock(mutex_);
        if (!configured_) return;
    }
    sendMessage(realtime::audioAppend(audio));
}

void RealtimeClient::sendToolResult(const std::string& callId, const std::string& output,
                                    const std::optional<std::string>& imageBase64, bool triggerResponse)
{
    sendMessage(realtime::toolOutput(callId, output));
    if (imageBase64) sendMessage(realtime::toolImage(*imageBase64));
    if (!triggerResponse) return;
    bool requestNow = false;
    {
        std::lock_guard lock(mutex_);
        requestNow = !responseInFlight_;
        if (responseInFlight_) pendingResponseCreate_ = true;
    }
    if (requestNow) sendMessage(realtime::responseCreate());
}

void RealtimeClient::cancelResponse()
{
    bool inFlight = false;
    {
        std::lock_guard lock(mutex_);
        inFlight = responseInFlight_;
    }
    if (inFlight) sendMessage(realtime::responseCancel());
}

void RealtimeClient::close()
{
    std::shared_ptr<WebSocket> socket;
    {
        std::lock_guard lock(mutex_);
        socket = std::move(task_);
    }
    if (socket) socket->close(kGoingAway);
}

void RealtimeClient::sendMessage(const json& message)
{
    std::shared_ptr<WebSocket> socket;
    {
        std::lock_guard lock(mutex_);
        socket = task_;
    }
    if (socket) socket->sendText(realtime::serialize(message));
}

void RealtimeClient::deliver(Event event)
{
    if (onEvent) onEvent(std::move(event));
}

void RealtimeClient::handleMessage(std::string_view text)
{
    // Audio deltas arrive fifty times a second with kilobytes of Base64 each:
    // they skip the document parse unless something about them is unusual.
    std::vector<std::uint8_t> audio;
    switch (realtime::scanAudioDelta(text, audio)) {
    case realtime::AudioDeltaScan::decoded: deliverAudio(std::move(audio)); return;
    case realtime::AudioDeltaScan::ignored: return;
    case realtime::AudioDeltaScan::notHandled: break;
    }

    const json message = json::parse(text, nullptr, false);
    const std::string* typeField = stringField(message, "type");
    if (!typeField) return;
    const std::string& type = *typeField;

    if (type == "response.output_audio.delta" || type == "response.audio.delta") {
        handleAudioDelta(message);
    } else if (type == "response.output_audio.done" || type == "response.audio.done") {
        logLine(realtime::audioDoneLine(audioDeltaCount_, audioDeltaBytes_));
    } else if (type == "response.output_audio_transcript.done" || type == "response.audio_transcript.done") {
        const std::string* transcript = stringField(message, "transcript");
        if (transcript && !transcript->empty()) deliver(realtime::Transcript{Role::assistant, *transcript});
    } else if (type == "conversation.item.input_audio_transcription.completed") {
        const std::string* transcript = stringField(message, "transcript");
        if (transcript && !transcript->empty()) deliver(realtime::Transcript{Role::user, *transcript});
    } else if (type == "response.output_function_call_arguments.done" ||
               type == "response.function_call_arguments.done") {
        const std::string* name = stringField(message, "name");
        const std::string* callId = stringField(message, "call_id");
        const std::string* arguments = stringField(message, "arguments");
        if (name && callId && arguments) deliver(realtime::ToolCall{*callId, *name, *arguments});
    } else if (type == "response.created") {
        handleResponseCreated();
    } else if (type == "response.done") {
        handleResponseDone(message);
    } else if (type == "input_audio_buffer.speech_started") {
        logLine("[realtime] speech_started (from server VAD)");
        deliver(realtime::UserSpeechStarted{});
    } else if (type == "input_audio_buffer.speech_stopped") {
        logLine("[realtime] speech_stopped (from server VAD)");
    } else if (type == "error") {
        handleError(message);
    }
}

void RealtimeClient::handleAudioDelta(const json& message)
{
    const std::string* delta = stringField(message, "delta");
    if (!delta) return;
    if (auto bytes = base64Decode(*delta)) deliverAudio(std::move(*bytes));
}

void RealtimeClient::deliverAudio(std::vector<std::uint8_t> bytes)
{
    ++audioDeltaCount_;
    audioDeltaBytes_ += static_cast<std::int64_t>(bytes.size());
    deliver(realtime::AudioDelta{std::move(bytes)});
}

void RealtimeClient::handleResponseCreated()
{
    {
        std::lock_guard lock(mutex_);
        responseInFlight_ = true;
    }
    audioDeltaCount_ = 0;
    audioDeltaBytes_ = 0;
    logLine("[realtime] response.created");
    deliver(realtime::ResponseStarted{});
}

void RealtimeClient::handleResponseDone(const json& message)
{
    {
        std::lock_guard lock(mutex_);
        responseInFlight_ = false;
    }
    logLine(realtime::responseDoneLine(message, audioDeltaCount_, audioDeltaBytes_));
    deliver(realtime::ResponseDone{});
    bool requestNow = false;
    {
        std::lock_guard lock(mutex_);
        requestNow = pendingResponseCreate_;
        pendingResponseCreate_ = false;
    }
    if (requestNow) sendMessage(realtime::responseCreate());
}

void RealtimeClient::handleError(const json& message)
{
    const realtime::ServerError error = realtime::serverError(message);
    logLine("[realtime] server error: " + error.message + " [code=" + error.code + "]");
    if (realtime::isBenign(error)) return;
    // The service names a failure of its own connection (to its upstream, say) only in words.
    const bool aboutConnection = lowercased(error.message).find("connect") != std::string::npos;
    deliver(realtime::State{SessionStatus::error(error.message),
                            aboutConnection ? realtime::ErrorCause::connection : realtime::ErrorCause::service});
}

void RealtimeClient::handleFailure(const std::string& description)
{
    logLine("[realtime] recv error: " + description);
    deliver(realtime::State{SessionStatus::error("connection lost"), realtime::ErrorCause::connection});
    close();
}

} // namespace twk
