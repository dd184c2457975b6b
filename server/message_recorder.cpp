#include "message_recorder.h"

#include "common/error.h"

#include <cerrno>
#include <cstring>

namespace twk::server {

MessageRecorder::MessageRecorder(const std::string& path) : file_(std::fopen(path.c_str(), "ae"))
{
    if (file_ == nullptr) throw Error("twk.server.record", errno, "cannot append to " + path + ": " + std::strerror(errno));
}

MessageRecorder::~MessageRecorder() { std::fclose(file_); }

void MessageRecorder::record(int connection, int64_t receivedAtMs, std::string_view text, const nlohmann::json* parsed)
{
    nlohmann::ordered_json line;
    line["connection"] = connection;
    line["receivedAt"] = receivedAtMs;
    const bool typed = parsed && parsed->is_object() && parsed->contains("type") && (*parsed)["type"].is_string();
    line["type"] = typed ? (*parsed)["type"] : nlohmann::json(nullptr);
    if (parsed)
        line["message"] = *parsed;
    else
        line["text"] = std::string(text);
    std::string out = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out.push_back('\n');
    std::fwrite(out.data(), 1, out.size(), file_);
    std::fflush(file_);
}

} // namespace twk::server
