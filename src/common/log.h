#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace twk {

/// Writes one event line, already carrying its bracketed tag ("[twk] ...",
/// "[twk/session] ..."). Lines go to standard error; when standard error is
/// neither a terminal nor a journal stream (a desktop launch), they also go
/// to the system log so they can be found in the journal. Thread-safe.
void logLine(std::string_view line);

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
