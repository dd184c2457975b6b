#pragma once

// `tarnwick session` against the real tarnwick-server, each test in its own
// temporary folder: the scenario, the server's data and recording, the
// application's settings and its audio files.

#include "integration/process_helpers.h"
#include "integration/server/server_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

namespace twk::test {

class SessionFixture : public ::testing::Test {
protected:
    /// The installation identifier the application is given.
    static constexpr const char* userId = "6a1f3c9d-2b4e-4f70-8c15-3e9a7b2d4f60";
    static std::string shortUserId() { return std::string(userId).substr(0, 8); }

    SessionFixture();

    std::string path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    /// Stores a value in the application's settings file, before it starts.
    void setSetting(const std::string& key, const std::string& value);

    /// Starts the server playing `scenario`, recording what clients send.
    ServerProcess& startServer(const nlohmann::json& scenario);
    /// Starts the server with its own engine (no scenario), recording what clients send.
    ServerProcess& startEngineServer();
    /// `tarnwick session --mic-file micWav --speaker-file out.wav` against the
    /// server, with `extraArgs` (such as "--seconds", "3") after them.
    std::unique_ptr<ChildProcess> startSession(const std::string& micWav, const std::vector<std::string>& extraArgs = {});

    /// Every message the server has recorded so far, in order.
    std::vector<nlohmann::json> recording() const;
    /// The recorded messages of one type.
    std::vector<nlohmann::json> recorded(const std::string& type) const;
    /// The server's log so far.
    std::string serverLog() { return server_->process().output(); }
    /// GET /api/usage/status for this installation.
    nlohmann::json usageStatus() const;
    /// Reports `seconds` of use for this installation, as a client would.
    void trackUsage(double seconds) const;

    /// A sentence spoken by espeak-ng (22.05 kHz, so the capture converter resamples it).
    std::string speechWav(const std::string& text) const;
    /// 24 kHz PCM16 mono samples as a WAV file in the test folder.
    std::string wavOf(const std::string& name, const std::string& pcm) const;

    std::string speakerFile() const { return path("speaker.wav"); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<ServerProcess> server_;
};

/// The PCM bytes an `input_audio_buffer.append` message carries.
size_t appendedBytes(const nlohmann::json& recordedAppend);

} // namespace twk::test
