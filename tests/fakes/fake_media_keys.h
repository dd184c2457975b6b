#pragma once

#include "platform/media_keys.h"

#include <mutex>
#include <vector>

namespace twk::test {

class FakeMediaKeys : public MediaKeys {
public:
    /// What every press answers.
    MediaKeyOutcome outcome = MediaKeyOutcome::taken;

    MediaKeyOutcome press(MediaKey key) override
    {
        std::lock_guard lock(mutex_);
        pressed_.push_back(key);
        return outcome;
    }
    std::vector<MediaKey> pressed() const
    {
        std::lock_guard lock(mutex_);
        return pressed_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<MediaKey> pressed_;
};

} // namespace twk::test
