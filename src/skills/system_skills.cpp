#include "skills/skill_text.h"
#include "skills/skills.h"

#include <cmath>

namespace twk {

std::string Skills::setVolume(double percent)
{
    // A value that is no number would otherwise reach the sound server as one.
    if (std::isnan(percent)) return err("volume must be a number from 0 to 100");
    const double clamped = percent < 0 ? 0 : (percent >= 100 ? 100 : percent);
    const auto output = s_.volume.defaultOutput();
    if (!output) return err("could not read default output");
    const float scalar = static_cast<float>(clamped / 100.0);
    bool set = s_.volume.setVolume(output->id, std::nullopt, scalar);
    // Some outputs take their volume only channel by channel: each is tried.
    if (!set)
        for (int channel = 0; channel < output->channels; ++channel)
            set = s_.volume.setVolume(output->id, channel, scalar) || set;
    if (!set) return err("volume not settable");
    return ok("volume " + std::to_string(static_cast<int>(clamped)) + "%");
}

std::string Skills::setDarkMode(bool on)
{
    if (const auto failure = s_.appearance.setDarkMode(on)) return err("dark mode failed: " + *failure);
    return ok(on ? "dark mode on" : "dark mode off");
}

std::string Skills::setWifi(bool on)
{
    if (!s_.wifi.wifiDevice()) return err("couldn't find a Wi-Fi device");
    if (const auto refusal = s_.wifi.setWirelessEnabled(on))
        return err("Wi-Fi toggle failed: " + leadingCharacters(*refusal, 120));
    return ok(on ? "Wi-Fi turned on" : "Wi-Fi turned off");
}

} // namespace twk
