#include "common/log.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <syslog.h>
#include <unistd.h>

namespace twk {
namespace {

std::mutex& logMutex()
{
    static std::mutex m;
    return m;
}

std::function<void(const std::string&)>& sinkSlot()
{
    static std::function<void(const std::string&)> sink;
    return sink;
}

bool alsoToSyslog()
{
    static const bool value = [] {
        if (std::getenv("JOURNAL_STREAM") != nullptr) return false; // stderr already reaches the journal
        if (isatty(STDERR_FILENO) != 0) return false;
        openlog("tarnwick", LOG_PID, LOG_USER);
        return true;
    }();
    return value;
}

} // namespace

void logLine(std::string_view line)
{
    std::string text(line);
    std::lock_guard lock(logMutex());
    if (sinkSlot()) {
        sinkSlot()(text);
        return;
    }
    text.push_back('\n');
    // One write per line so lines from several threads never interleave.
    (void)!::write(STDERR_FILENO, text.data(), text.size());
    if (alsoToSyslog()) syslog(LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data());
}

LogCapture::LogCapture(std::function<void(const std::string&)> sink)
{
    std::lock_guard lock(logMutex());
    previous_ = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
}

LogCapture::~LogCapture()
{
    std::lock_guard lock(logMutex());
    sinkSlot() = std::move(previous_);
}

} // namespace twk
