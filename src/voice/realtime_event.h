#pragma once

#include "app/app_types.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace twk::realtime {

enum class Role { user, assistant };

/// Why an `error` state came: the connection itself failed (worth a
/// reconnect), or the service reported an error on a working connection.
enum class ErrorCause { none, connection, service };

/// The session's status changed: `listening` on connect, `error` on a lost
/// connection or a server error that matters.
struct State {
    SessionStatus status;
    ErrorCause cause = ErrorCause::none;
    friend bool operator==(const State&, const State&) = default;
};

/// A finished transcript of what the user or the assistant said.
struct Transcript {
    Role role;
    std::string text;
    friend bool operator==(const Transcript&, const Transcript&) = default;
};

/// A finished function call of the model.
struct ToolCall {
    std::string callId;
    std::string name;
    std::string argsJson;
    friend bool operator==(const ToolCall&, const ToolCall&) = default;
};

/// One chunk of the assistant's speech: 24 kHz mono signed 16-bit little-endian PCM.
struct AudioDelta {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const AudioDelta&, const AudioDelta&) = default;
};

struct ResponseStarted {
    friend bool operator==(const ResponseStarted&, const ResponseStarted&) = default;
};

struct ResponseDone {
    friend bool operator==(const ResponseDone&, const ResponseDone&) = default;
};

/// The server's voice-activity detection heard the user start speaking.
struct UserSpeechStarted {
    friend bool operator==(const UserSpeechStarted&, const UserSpeechStarted&) = default;
};

using Event = std::variant<State, Transcript, ToolCall, AudioDelta, ResponseStarted, ResponseDone, UserSpeechStarted>;

} // namespace twk::realtime
