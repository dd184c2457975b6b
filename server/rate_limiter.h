#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace twk::server {

/// Token buckets by key: `burst` actions at once, refilled at `perSecond`.
/// Keys whose bucket is full again are forgotten when there are too many.
class RateLimiter {
public:
    RateLimiter(double burst, double perSecond, size_t maxKeys = 100'000);

    /// Takes one token for `key`; false (and nothing taken) when there is none.
    bool allow(const std::string& key, int64_t nowMs);
    /// Seconds until `key` has a token again (0 when it has one).
    int secondsUntilAllowed(const std::string& key, int64_t nowMs) const;

private:
    struct Bucket {
        double tokens;
        int64_t atMs;
    };
    double tokensAt(const Bucket& b, int64_t nowMs) const;
    void prune(int64_t nowMs);

    double burst_;
    double perSecond_;
    size_t maxKeys_;
    std::unordered_map<std::string, Bucket> buckets_;
};

} // namespace twk::server
