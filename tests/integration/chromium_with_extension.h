#pragma once

#include "integration/process_helpers.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

namespace twk::test {

/// Debian's headless Chromium in a throw-away profile with a copy of the
/// companion extension whose config.js points at the test's bridge port and,
/// when given, the test's agent server.
class ChromiumWithExtension {
public:
    ChromiumWithExtension(std::uint16_t bridgePort, const std::string& startUrl, const std::string& serverOrigin = {})
    {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "twk-chromium-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
        const fs::path extension = dir_ / "extension";
        fs::copy(TWK_EXTENSION_DIR, extension, fs::copy_options::recursive);
        std::stringstream text;
        text << std::ifstream(extension / "config.js").rdbuf();
        std::string config = text.str();
        replace(config, "28371", std::to_string(bridgePort));
        if (!serverOrigin.empty()) replace(config, "http://127.0.0.1:8787", serverOrigin);
        std::ofstream(extension / "config.js", std::ios::trunc) << config;
        process_ = std::make_unique<ChildProcess>(
            "/usr/bin/chromium",
            // The basic password store: with a keyring service activatable on the test bus,
            // Chromium waits on it and never starts its extensions.
            std::vector<std::string>{"--headless=new", "--no-sandbox", "--no-first-run", "--disable-gpu",
                                     "--password-store=basic", "--user-data-dir=" + (dir_ / "profile").string(),
                                     "--disable-features=DisableLoadExtensionCommandLineSwitch",
                                     "--load-extension=" + extension.string(), startUrl});
    }
    ~ChromiumWithExtension()
    {
        process_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    /// What the browser printed so far, for failure messages.
    const std::string& output() { return process_->output(); }
    ChromiumWithExtension(const ChromiumWithExtension&) = delete;
    ChromiumWithExtension& operator=(const ChromiumWithExtension&) = delete;

private:
    static void replace(std::string& text, const std::string& from, const std::string& to)
    {
        text.replace(text.find(from), from.size(), to);
    }

    std::filesystem::path dir_;
    std::unique_ptr<ChildProcess> process_;
};

/// The JSON answer of `tarnwick tool NAME ARGS`, handed to the running app;
/// asked again while the extension has not yet connected to it.
inline nlohmann::json browserToolAnswer(const std::string& name, const nlohmann::json& args)
{
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (std::chrono::steady_clock::now() < deadline) {
        ChildProcess tool(TARNWICK_EXE, {"tool", name, args.dump()});
        if (!tool.waitForExit(std::chrono::seconds(70))) return nullptr;
        answer = tool.output();
        if (answer.find("not connected") == std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return nlohmann::json::parse(answer.substr(0, answer.find('\n')), nullptr, false);
}

} // namespace twk::test
