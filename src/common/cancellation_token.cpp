#include "common/cancellation_token.h"

#include "common/log.h"

namespace twk {

void CancellationToken::cancel()
{
    {
        std::lock_guard guard(lock);
        _cancelled = true;
    }
    logLine("[twk/cancel] cancelled");
}

void CancellationToken::reset()
{
    std::lock_guard guard(lock);
    _cancelled = false;
}

bool CancellationToken::cancelled() const
{
    std::lock_guard guard(lock);
    return _cancelled;
}

} // namespace twk
