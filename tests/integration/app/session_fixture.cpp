#include "integration/app/session_fixture.h"

#include "fakes/pcm_signals.h"
#include "integration/server/raw_http.h"
#include "platform/linux/qt_settings.h"

#include <QByteArray>

#include <fstream>

namespace twk::test {

using nlohmann::json;

SessionFixture::SessionFixture()
{
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    setSetting("twk.userId", userId);
}

void SessionFixture::setSetting(const std::string& key, const std::string& value)
{
    QtSettings(path("config/tarnwick/tarnwick.conf")).setString(key, value);
}

ServerProcess& SessionFixture::startServer(const json& scenario)
{
    std::ofstream(path("scenario.json")) << scenario.dump(2);
    server_ = std::make_unique<ServerProcess>(
        path("data"), std::vector<std::string>{"--scenario", path("scenario.json"), "--record", path("recording.jsonl")});
    return *server_;
}

ServerProcess& SessionFixture::startEngineServer()
{
    server_ = std::make_unique<ServerProcess>(path("data"), std::vector<std::string>{"--record", path("recording.jsonl")});
    return *server_;
}

std::unique_ptr<ChildProcess> SessionFixture::startSession(const std::string& micWav,
                                                           const std::vector<std::string>& extraArgs)
{
    std::vector<std::string> args{"session", "--mic-file", micWav, "--speaker-file", speakerFile()};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return std::make_unique<ChildProcess>(TARNWICK_EXE, args,
                                          std::map<std::string, std::optional<std::string>>{
                                              {"TARNWICK_BACKEND_URL", server_->origin()},
                                              {"TARNWICK_REALTIME_URL", server_->realtimeOrigin()},
                                              {"XDG_CONFIG_HOME", path("config")},
                                          });
}

std::vector<json> SessionFixture::recording() const
{
    std::vector<json> lines;
    std::ifstream in(path("recording.jsonl"));
    for (std::string line; std::getline(in, line);) {
        json parsed = json::parse(line, nullptr, false);
        if (!parsed.is_discarded()) lines.push_back(std::move(parsed)); // a line still being written
    }
    return lines;
}

std::vector<json> SessionFixture::recorded(const std::string& type) const
{
    std::vector<json> matching;
    for (json& line : recording())
        if (line["type"] == type) matching.push_back(std::move(line));
    return matching;
}

json SessionFixture::usageStatus() const
{
    const RawResponse r = rawRequest(server_->port(), "GET /api/usage/status?userId=" + std::string(userId) +
                                                          " HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(r.status, 200) << r.body;
    return json::parse(r.body, nullptr, false);
}

void SessionFixture::trackUsage(double seconds) const
{
    const std::string body = json{{"userId", userId}, {"seconds", seconds}}.dump();
    const RawResponse r = rawRequest(server_->port(), "POST /api/usage/track HTTP/1.1\r\nConnection: close\r\n"
                                                      "Content-Type: application/json\r\nContent-Length: " +
                                                          std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(r.status, 200) << r.body;
}

std::string SessionFixture::speechWav(const std::string& text) const
{
    const std::string file = path("speech.wav");
    ChildProcess espeak("/usr/bin/espeak-ng", {"-w", file, text});
    const auto status = espeak.waitForExit(std::chrono::seconds(20));
    if (status != 0) throw std::runtime_error("espeak-ng failed: " + espeak.output());
    return file;
}

std::string SessionFixture::wavOf(const std::string& name, const std::string& pcm) const
{
    const std::string file = path(name);
    std::ofstream(file, std::ios::binary) << wavFile(pcm);
    return file;
}

size_t appendedBytes(const json& recordedAppend)
{
    const std::string audio = recordedAppend["message"].value("audio", "");
    return size_t(QByteArray::fromBase64(QByteArray::fromStdString(audio)).size());
}

} // namespace twk::test
