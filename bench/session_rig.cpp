#include "session_rig.h"

#include "fakes/pcm_signals.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace twk::bench {

std::optional<ProcessSample> sampleProcess(int pid)
{
    const std::string dir = "/proc/" + std::to_string(pid);
    std::ifstream statFile(dir + "/stat");
    std::string stat;
    if (!std::getline(statFile, stat)) return std::nullopt;
    // Fields after the command name, which may hold spaces: state is field 3, utime 14, stime 15.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::vector<std::string> f;
    for (std::string field; fields >> field;) f.push_back(field);
    if (f.size() < 13 || f[0] == "Z") return std::nullopt; // gone, or ended and not yet reaped
    ProcessSample sample;
    sample.cpuSeconds = double(std::stoll(f[11]) + std::stoll(f[12])) / double(sysconf(_SC_CLK_TCK));
    std::ifstream status(dir + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) sample.rssKiB = std::stol(line.substr(6));
    return sample;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto rank = size_t(std::ceil(fraction * double(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

SessionRig::SessionRig()
{
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    writeFile("quiet.wav", test::wavFile(test::silencePcm(200))); // then silence, as a quiet room
}

void SessionRig::writeFile(const std::string& name, const std::string& content) const
{
    std::ofstream(path(name), std::ios::binary) << content;
}

test::ServerProcess& SessionRig::startServer(const std::vector<std::string>& extraArgs)
{
    server_ = std::make_unique<test::ServerProcess>(path("data"), extraArgs);
    return *server_;
}

test::ChildProcess& SessionRig::startSession(const std::string& exe, const std::string& realtimeOrigin,
                                             const std::map<std::string, std::optional<std::string>>& env)
{
    auto all = env;
    all["TARNWICK_BACKEND_URL"] = server_->origin();
    all["TARNWICK_REALTIME_URL"] = realtimeOrigin.empty() ? server_->realtimeOrigin() : realtimeOrigin;
    all["XDG_CONFIG_HOME"] = path("config");
    app_ = std::make_unique<test::ChildProcess>(
        exe, std::vector<std::string>{"session", "--mic-file", path("quiet.wav"), "--speaker-file", path("speaker.wav")},
        all);
    return *app_;
}

void SessionRig::drain()
{
    for (test::ChildProcess* p : {server_ ? &server_->process() : nullptr, app_.get()}) {
        if (p == nullptr) continue;
        size_t seen = 0;
        do {
            seen = p->output().size();
        } while (p->output().size() != seen); // until a read brings nothing new
    }
}

std::string option(int argc, char** argv, const std::string& name, const std::string& fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == name) return argv[i + 1];
    return fallback;
}

} // namespace twk::bench
