#pragma once

#include "platform/settings.h"

#include <memory>
#include <mutex>

class QSettings;

namespace twk {

/// Settings in $XDG_CONFIG_HOME/tarnwick/tarnwick.conf (~/.config when unset).
/// Every write is flushed to disk before it returns.
class QtSettings : public Settings {
public:
    QtSettings();
    explicit QtSettings(const std::string& filePath);
    ~QtSettings() override;

    std::optional<std::string> string(const std::string& key) const override;
    void setString(const std::string& key, const std::string& value) override;
    void remove(const std::string& key) override;

    std::string filePath() const;
    static std::string defaultFilePath();

private:
    void flush();

    mutable std::mutex mutex_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace twk
