#pragma once

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <string_view>

namespace twk::server {

/// Appends every message a realtime client sends to a file, one JSON object
/// per line: {"connection": n, "receivedAt": ms since the epoch, "type": the
/// message type or null, "message": the message, or "text": what arrived when
/// it was not JSON}. Each line is flushed as it is written, so a test can
/// read the file while the server runs.
class MessageRecorder {
public:
    /// Throws twk::Error when the file cannot be opened for appending.
    explicit MessageRecorder(const std::string& path);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void record(int connection, int64_t receivedAtMs, std::string_view text, const nlohmann::json* parsed);

private:
    std::FILE* file_ = nullptr;
};

} // namespace twk::server
