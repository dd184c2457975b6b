#pragma once

#include "common/log.h"
#include "fakes/fake_audio_system.h"
#include "fakes/memory_settings.h"
#include "fakes/virtual_main_loop.h"
#include "voice/audio_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace twk::test {

/// An AudioService on the fake audio system, with its log and its chunks.
class AudioServiceTest : public ::testing::Test {
protected:
    VirtualMainLoop loop;
    MemorySettings settings;
    FakeAudioSystem system;
    std::shared_ptr<AudioService> audio;
    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<AudioService::Bytes> chunks;
    LogCapture capture{[this](const std::string& l) {
        std::lock_guard lock(mutex);
        lines.push_back(l);
    }};

    const AudioDevice builtIn{"alsa_input.pci-0000_00_1f.3.analog-stereo", "Built-in Audio Analog Stereo"};
    const AudioDevice headset{"bluez_input.00_11_22_33_44_55", "Headset"};

    void SetUp() override
    {
        system.devices = {builtIn, headset};
        system.defaultDevice = builtIn;
        audio = AudioService::create(system, settings, loop);
        audio->setOnAudioIn([this](AudioService::Bytes bytes) {
            std::lock_guard lock(mutex);
            chunks.push_back(std::move(bytes));
        });
    }

    std::vector<std::string> linesStartingWith(const std::string& prefix)
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> found;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        return found;
    }
};

} // namespace twk::test
