#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace twk {

/// Writes one event line, already carrying its bracketed tag ("[twk] ...",
/// "[twk/session] ..."). Control characters in it (text from outside: event
/// types, tool arguments, application names) are escaped as \n, \t, \xHH,
/// so one call is always exactly one line. Thread-safe.
void logLine(std::string_view line);

/// `line` with its control characters (C0, DEL, and C1 in UTF-8) escaped.
std::string escapeControlCharacters(std::string_view line);

/// Where log lines go for the rest of the process (the platform's journal or
/// terminal). Until one is set they go to standard error. Called with the
/// escaped line, without a newline, under the log's lock.
using LogSink = std::function<void(std::string_view line)>;
void setLogSink(LogSink sink);

/// Redirects log lines to `sink` while the returned guard lives (tests read
/// what was logged through it). Nested captures restore the previous sink.
class LogCapture {
public:
    explicit LogCapture(std::function<void(const std::string&)> sink);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

private:
    std::function<void(const std::string&)> previous_;
};

} // namespace twk
