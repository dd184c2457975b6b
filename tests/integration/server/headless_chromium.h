#pragma once

#include "integration/process_helpers.h"

#include <nlohmann/json.hpp>

#include <QWebSocket>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace twk::test {

/// Debian's Chromium, headless, with one tab driven over the DevTools
/// protocol: navigate, run JavaScript in the page, take screenshots.
class HeadlessChromium {
public:
    static constexpr const char* path = "/usr/bin/chromium";

    /// Starts the browser with a fresh profile; throws std::runtime_error when it does not come up.
    HeadlessChromium(int width = 820, int height = 1100);
    ~HeadlessChromium();

    /// Starts loading `url` in the tab; wait for what should follow with `waitUntil`.
    void navigate(const std::string& url);
    /// The value of a JavaScript expression evaluated in the tab (promises awaited).
    nlohmann::json evaluate(const std::string& expression);
    /// Polls `expression` until it is true; false on time-out.
    bool waitUntil(const std::string& expression, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// A PNG of the tab's whole page, written to `file`.
    void screenshot(const std::filesystem::path& file);
    /// The browser's own output, for failure messages.
    std::string output() { return process_ ? process_->output() : std::string(); }

private:
    nlohmann::json command(const std::string& method, nlohmann::json params = nlohmann::json::object());

    std::filesystem::path profile_;
    std::unique_ptr<ChildProcess> process_;
    QWebSocket socket_;
    std::vector<nlohmann::json> received_;
    bool failed_ = false;
    int nextId_ = 1;
};

} // namespace twk::test
