#include "common/log.h"

#include <cstdio>
#include <mutex>

namespace twk {
namespace {

std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}

std::function<void(const std::string&)>& captureSlot()
{
    static std::function<void(const std::string&)> capture;
    return capture;
}

LogSink& sinkSlot()
{
    static LogSink sink;
    return sink;
}

void appendHex(std::string& out, unsigned char byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out += "\\x";
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0xF]);
}

} // namespace

std::string escapeControlCharacters(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            appendHex(out, byte);
        } else if (byte == 0xC2 && i + 1 < line.size() && static_cast<unsigned char>(line[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(line[i + 1]) <= 0x9F) {
            // U+0080..U+009F: terminals take some of these as escape sequences.
            appendHex(out, static_cast<unsigned char>(line[++i]));
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    return out;
}

void logLine(std::string_view line)
{
    const std::string text = escapeControlCharacters(line);
    std::lock_guard lock(logMutex());
    if (captureSlot()) {
        captureSlot()(text);
    } else if (sinkSlot()) {
        sinkSlot()(text);
    } else {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
}

void setLogSink(LogSink sink)
{
    std::lock_guard lock(logMutex());
    sinkSlot() = std::move(sink);
}

LogCapture::LogCapture(std::function<void(const std::string&)> sink)
{
    std::lock_guard lock(logMutex());
    previous_ = std::move(captureSlot());
    captureSlot() = std::move(sink);
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(logMutex());
    captureSlot() = std::move(previous_);
}

} // namespace twk
