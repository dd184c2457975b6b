#pragma once

#include <optional>
#include <string>

namespace twk {

/// The user's stored choices ("twk.voice", "twk.verbosity", "twk.micDeviceID",
/// "twk.userId"): string values by key. Implementations are thread-safe and
/// make each write durable before returning.
class Settings {
public:
    virtual ~Settings() = default;
    virtual std::optional<std::string> string(const std::string& key) const = 0;
    virtual void setString(const std::string& key, const std::string& value) = 0;
    virtual void remove(const std::string& key) = 0;
};

} // namespace twk
