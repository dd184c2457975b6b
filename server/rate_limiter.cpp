#include "rate_limiter.h"

#include <algorithm>
#include <cmath>

namespace twk::server {

RateLimiter::RateLimiter(double burst, double perSecond, size_t maxKeys)
    : burst_(burst), perSecond_(perSecond), maxKeys_(maxKeys)
{
}

double RateLimiter::tokensAt(const Bucket& b, int64_t nowMs) const
{
    return std::min(burst_, b.tokens + double(std::max<int64_t>(0, nowMs - b.atMs)) / 1000.0 * perSecond_);
}

void RateLimiter::prune(int64_t nowMs)
{
    std::erase_if(buckets_, [&](const auto& entry) { return tokensAt(entry.second, nowMs) >= burst_; });
    // Still full of busy keys: forgetting them all errs on the side of serving.
    if (buckets_.size() >= maxKeys_) buckets_.clear();
}

bool RateLimiter::allow(const std::string& key, int64_t nowMs)
{
    auto it = buckets_.find(key);
    if (it == buckets_.end()) {
        if (buckets_.size() >= maxKeys_) prune(nowMs);
        it = buckets_.emplace(key, Bucket{burst_, nowMs}).first;
    }
    Bucket& b = it->second;
    b.tokens = tokensAt(b, nowMs);
    b.atMs = nowMs;
    if (b.tokens < 1) return false;
    b.tokens -= 1;
    return true;
}

int RateLimiter::secondsUntilAllowed(const std::string& key, int64_t nowMs) const
{
    const auto it = buckets_.find(key);
    if (it == buckets_.end()) return 0;
    const double missing = 1 - tokensAt(it->second, nowMs);
    return missing <= 0 ? 0 : int(std::ceil(missing / perSecond_));
}

} // namespace twk::server
