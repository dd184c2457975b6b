#pragma once

#include "platform/settings.h"

#include <map>
#include <mutex>

namespace twk::test {

class MemorySettings : public Settings {
public:
    std::optional<std::string> string(const std::string& key) const override
    {
        std::lock_guard lock(mutex_);
        const auto it = values_.find(key);
        return it == values_.end() ? std::nullopt : std::optional(it->second);
    }
    void setString(const std::string& key, const std::string& value) override
    {
        std::lock_guard lock(mutex_);
        values_[key] = value;
    }
    void remove(const std::string& key) override
    {
        std::lock_guard lock(mutex_);
        values_.erase(key);
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> values_;
};

} // namespace twk::test
