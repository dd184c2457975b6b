#pragma once

// Copies of recent screenshots, for seeing what the model was shown.

#include <chrono>
#include <filesystem>
#include <string>

namespace twk {

/// The file name of a copy taken at `when`: its UTC time in ISO 8601 to the
/// second with hyphens for colons, so every file system takes it
/// ("2026-12-07T12-28-40Z.png").
std::string debugScreenshotName(std::chrono::system_clock::time_point when);

/// $XDG_CACHE_HOME/tarnwick/screenshots, ~/.cache/... when that is unset or
/// not absolute; empty when neither tells.
std::filesystem::path defaultDebugScreenshotDir();

/// A folder of the newest screenshots. Screenshots show whatever was on the
/// user's screen, so the folder is private to the user (0700) and so is
/// each file (0600). Failures are logged and never reach the capture.
class DebugScreenshots {
public:
    static constexpr size_t keep = 30;

    explicit DebugScreenshots(std::filesystem::path dir) : dir_(std::move(dir)) {}

    /// Writes `png` as a new file named after `when`, then deletes all but
    /// the newest `keep` files. The path written, or empty on failure.
    std::filesystem::path save(const std::string& png, std::chrono::system_clock::time_point when);

    const std::filesystem::path& dir() const { return dir_; }

private:
    void prune();

    std::filesystem::path dir_;
};

} // namespace twk
