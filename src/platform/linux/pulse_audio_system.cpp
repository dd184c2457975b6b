#include "platform/linux/pulse_audio_system.h"

#include "platform/linux/pulse_capture.h"
#include "platform/linux/pulse_output.h"
#include "platform/linux/pulse_sources.h"
#include "platform/linux/pulse_thread.h"

#include <pulse/def.h>
#include <pulse/error.h>

#include <algorithm>

namespace twk {
namespace {

constexpr auto queryTimeout = std::chrono::milliseconds(2000);

AudioDevice deviceOf(const PulseSource& source)
{
    return AudioDevice{source.name, source.description.empty() ? source.name : source.description};
}

} // namespace

std::vector<AudioDevice> PulseAudioSystem::inputDevices()
{
    std::vector<AudioDevice> devices;
    const auto listed = listPulseSources(queryTimeout);
    if (!listed) return devices;
    for (const auto& source : listed.value().sources)
        if (!source.monitor) devices.push_back(deviceOf(source));
    return devices;
}

std::optional<AudioDevice> PulseAudioSystem::defaultInput()
{
    const auto listed = listPulseSources(queryTimeout);
    if (!listed) return std::nullopt;
    const auto& sources = listed.value().sources;
    // The server may name an output's monitor as its default when no
    // microphone is plugged in; listening to our own speaker is no input.
    const auto isDefault = [&](const PulseSource& s) { return !s.monitor && s.name == listed.value().defaultSource; };
    auto it = std::find_if(sources.begin(), sources.end(), isDefault);
    if (it == sources.end()) it = std::find_if(sources.begin(), sources.end(), [](const auto& s) { return !s.monitor; });
    if (it == sources.end()) return std::nullopt;
    return deviceOf(*it);
}

std::unique_ptr<AudioCapture> PulseAudioSystem::openCapture(const AudioDevice& device)
{
    auto listed = listPulseSources(queryTimeout);
    if (!listed) throw listed.error();
    for (const auto& source : listed.value().sources)
        if (source.name == device.uniqueID)
            return std::make_unique<PulseCapture>(source.name, PulseCapture::streamSpecFor(source.sampleSpec));
    throw Error(pulseErrorDomain, PA_ERR_NOENTITY, "no such audio input: " + device.uniqueID);
}

std::unique_ptr<AudioOutput> PulseAudioSystem::makeOutput(double sampleRate)
{
    return std::make_unique<PulseOutput>(sampleRate);
}

} // namespace twk
