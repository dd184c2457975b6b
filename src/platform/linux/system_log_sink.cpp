#include "platform/linux/system_log_sink.h"

#include <cstdlib>
#include <string>
#include <syslog.h>
#include <unistd.h>

namespace twk {

LogSink systemLogSink(const char* identifier)
{
    // stderr of a unit started by systemd already reaches the journal.
    const bool toSyslog = std::getenv("JOURNAL_STREAM") == nullptr && isatty(STDERR_FILENO) == 0;
    if (toSyslog) openlog(identifier, LOG_PID, LOG_USER);
    return [toSyslog](std::string_view line) {
        std::string text(line);
        text.push_back('\n');
        (void)!::write(STDERR_FILENO, text.data(), text.size());
        if (toSyslog) syslog(LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data());
    };
}

} // namespace twk
