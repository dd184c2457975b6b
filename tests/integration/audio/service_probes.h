#pragma once

#include "integration/qt_spin.h"

#include "common/log.h"
#include "voice/audio_service.h"

#include <QCoreApplication>

#include <pthread.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace twk::test {

/// Everything an AudioService delivered, with the thread it came on.
struct Chunks {
    std::mutex mutex;
    std::vector<AudioService::Bytes> chunks;
    std::vector<std::string> threadNames;

    void attach(AudioService& audio)
    {
        audio.setOnAudioIn([this](AudioService::Bytes bytes) {
            char name[32] = {};
            pthread_getname_np(pthread_self(), name, sizeof name);
            std::lock_guard lock(mutex);
            chunks.push_back(std::move(bytes));
            threadNames.emplace_back(name);
        });
    }
    /// Every chunk joined, as samples.
    std::vector<std::int16_t> samples()
    {
        std::lock_guard lock(mutex);
        std::vector<std::int16_t> all;
        for (const auto& c : chunks)
            for (std::size_t i = 0; i + 1 < c.size(); i += 2)
                all.push_back(static_cast<std::int16_t>(c[i] | (c[i + 1] << 8)));
        return all;
    }
};

struct Logs {
    std::mutex mutex;
    std::vector<std::string> lines;
    LogCapture capture{[this](const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    }};
    std::vector<std::string> containing(const std::string& text)
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> found;
        for (const auto& l : lines)
            if (l.find(text) != std::string::npos) found.push_back(l);
        return found;
    }
};

} // namespace twk::test
