#pragma once

#include "platform/automations.h"
#include "platform/desktop_appearance.h"
#include "platform/desktop_launcher.h"
#include "platform/output_volume.h"
#include "platform/wifi_radio.h"

#include <algorithm>
#include <vector>

namespace twk::test {

/// A sound server in memory: the test sets the default output and which
/// settings it refuses, and reads back what was set.
class FakeOutputVolume : public OutputVolume {
public:
    std::optional<AudioOutputDevice> output = AudioOutputDevice{"speakers", 2};
    bool refuseAllChannels = false;
    std::vector<int> refusedChannels;

    struct Set {
        std::optional<int> channel;
        float scalar;
        bool operator==(const Set&) const = default;
    };
    std::vector<Set> accepted;

    std::optional<AudioOutputDevice> defaultOutput() override { return output; }
    bool setVolume(const std::string& deviceId, std::optional<int> channel, float scalar) override
    {
        if (!output || deviceId != output->id) return false;
        const bool refused = channel ? std::find(refusedChannels.begin(), refusedChannels.end(), *channel) !=
                                           refusedChannels.end()
                                     : refuseAllChannels;
        if (!refused) accepted.push_back({channel, scalar});
        return !refused;
    }
};

class FakeDesktopAppearance : public DesktopAppearance {
public:
    std::optional<std::string> failure;
    std::vector<bool> requests;

    std::optional<std::string> setDarkMode(bool on) override
    {
        requests.push_back(on);
        return failure;
    }
};

class FakeWifiRadio : public WifiRadio {
public:
    std::optional<std::string> device = "wlan0";
    std::optional<std::string> refusal;
    std::vector<bool> requests;

    std::optional<std::string> wifiDevice() override { return device; }
    std::optional<std::string> setWirelessEnabled(bool on) override
    {
        requests.push_back(on);
        return refusal;
    }
};

/// Answers every run with `result` and records what it was asked.
class FakeAutomations : public Automations {
public:
    AutomationRun result;
    struct Call {
        std::string name;
        std::optional<std::string> input;
        std::chrono::milliseconds timeLimit;
    };
    std::vector<Call> calls;

    std::string folder() const override { return "~/.config/tarnwick/shortcuts"; }
    AutomationRun run(const std::string& name, const std::optional<std::string>& input,
                      std::chrono::milliseconds timeLimit) override
    {
        calls.push_back({name, input, timeLimit});
        return result;
    }
};

class FakeDesktopLauncher : public DesktopLauncher {
public:
    bool acceptsQueries = true;
    std::optional<std::string> shortcut;
    std::vector<std::string> queries;

    bool searchDirectly(const std::string& query) override
    {
        queries.push_back(query);
        return acceptsQueries;
    }
    std::optional<std::string> searchShortcut() override { return shortcut; }
};

} // namespace twk::test
