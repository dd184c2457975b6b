#include "integration/server/server_process.h"

#include <csignal>
#include <regex>
#include <stdexcept>

namespace twk::test {

ServerProcess::ServerProcess(const std::string& dataDir, const std::vector<std::string>& extraArgs,
                             const std::vector<std::string>& launcher, const std::map<std::string, std::optional<std::string>>& env)
{
    std::vector<std::string> args{"--port", "0", "--data-dir", dataDir, "--config", "/dev/null", "--quota-minutes", "15"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (!launcher.empty()) {
        args.insert(args.begin(), TARNWICK_SERVER_EXE);
        args.insert(args.begin(), launcher.begin() + 1, launcher.end());
    }
    process_ = std::make_unique<ChildProcess>(launcher.empty() ? TARNWICK_SERVER_EXE : launcher.front(), args, env);
    if (!process_->waitForOutput(" (data in ", std::chrono::seconds(20)))
        throw std::runtime_error("tarnwick-server did not start: " + process_->output());
    std::smatch m;
    const std::string& out = process_->output();
    if (!std::regex_search(out, m, std::regex(R"(listening on http://127\.0\.0\.1:(\d+) )")))
        throw std::runtime_error("no port in: " + out);
    port_ = std::stoi(m[1]);
}

std::optional<int> ServerProcess::stop()
{
    process_->sendSignal(SIGTERM);
    return process_->waitForExit(std::chrono::seconds(10));
}

} // namespace twk::test
