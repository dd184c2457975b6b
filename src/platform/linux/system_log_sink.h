#pragma once

#include "common/log.h"

namespace twk {

/// Log lines to standard error, one write each so lines from several threads
/// never interleave; also to the system log when standard error reaches
/// neither a terminal nor the journal (a launch from the desktop), so they
/// can be found with journalctl.
LogSink systemLogSink(const char* identifier);

} // namespace twk
