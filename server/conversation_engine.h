#pragma once

#include "voice_activity_detector.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <string_view>

namespace twk::server {

/// What an engine may do to the client of its realtime connection.
class RealtimeOutput {
public:
    virtual ~RealtimeOutput() = default;
    /// Sends one server event as a text frame.
    virtual void send(const nlohmann::json& event) = 0;
    /// Ends the connection without a close frame, as a network failure would.
    virtual void drop() = 0;
    /// Ends the connection with a close frame.
    virtual void close(int code, const std::string& reason) = 0;
    /// Whether the connection is still open (sends after it ends are dropped).
    virtual bool isOpen() const = 0;
};

/// Decides what the server answers on one realtime connection. The
/// connection has already handled the protocol itself (session updates, audio
/// decoding, voice-activity events sent to the client); the engine sees the
/// client's messages and the detector's verdicts, in arrival order.
class ConversationEngine {
public:
    virtual ~ConversationEngine() = default;
    /// Every client message that is a JSON object with a string "type", audio appends included.
    virtual void onClientMessage(const nlohmann::json& message) = 0;
    /// Decoded PCM16 24 kHz mono audio of each append, before the detector's verdict on it.
    virtual void onInputAudio(std::string_view pcm16) = 0;
    virtual void onVoiceActivity(const VadEvent& event) = 0;
};

/// Makes one engine per connection; `connectionNumber` counts from 1 over the server's run.
class ConversationEngineFactory {
public:
    virtual ~ConversationEngineFactory() = default;
    virtual std::unique_ptr<ConversationEngine> create(RealtimeOutput& output, int connectionNumber) = 0;
};

} // namespace twk::server
