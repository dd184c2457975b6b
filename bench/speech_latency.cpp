// Reply latency and idle CPU of tarnwick-server's offline speech engine,
// over loopback: commands spoken by espeak-ng are streamed in real time as a
// microphone would; a tool call is answered at once. Measured per turn, from
// the end of the voiced audio sent to the first audio of the spoken reply
// (for a tool command, the audio of its confirmation, the tool taking no
// time): what a user waits, the detector's hangover and the recognition
// included. The end-of-speech event is sent as the recognition starts but
// leaves the server after it, so the time from it says little. Then the
// server's CPU while a connected client streams silence, and with no client.
//   build/default/bench/speech_latency [--turns 20]
// Targets: median end of speech to first reply audio under 400 ms; idle CPU under 1 %.

#include "integration/app/spoken_audio.h"
#include "integration/server/realtime_test_client.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"
#include "session_rig.h"
#include "temp_folder.h"
#include "tools/tool_catalogue.h"

#include "fakes/pcm_signals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWebSocket>

#include <cstdio>

namespace {

using namespace twk;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

const char* const sentences[] = {"open galculator", "what time is it", "turn on dark mode", "next song",
                                 "tell me a story", "volume to forty percent", "what's the date", "pause the music",
                                 "turn the wifi off", "search for coffee near me"};

struct Client {
    QWebSocket socket;
    std::vector<std::pair<json, Clock::time_point>> events;

    Client()
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            events.emplace_back(json::parse(text.toStdString(), nullptr, false), Clock::now());
            // A tool call is answered the moment it arrives, as if the tool took no time.
            const json& event = events.back().first;
            if (event.is_object() && event.value("type", "") == "response.function_call_arguments.done") {
                send({{"type", "conversation.item.create"},
                      {"item", {{"type", "function_call_output"}, {"call_id", event["call_id"]},
                                {"output", R"({"ok":true,"message":"done"})"}}}});
                send({{"type", "response.create"}});
            }
        });
    }
    void send(const json& message) { socket.sendTextMessage(QString::fromStdString(message.dump())); }
    /// Streams `pcm` in 100 ms chunks at real-time pace; returns when the last chunk went.
    Clock::time_point stream(const std::string& pcm)
    {
        const auto start = Clock::now();
        for (size_t at = 0, i = 0; at < pcm.size(); at += 4800, ++i) {
            const QByteArray bytes(pcm.data() + at, qsizetype(std::min<size_t>(4800, pcm.size() - at)));
            send({{"type", "input_audio_buffer.append"}, {"audio", bytes.toBase64().toStdString()}});
            twk::test::spinUntil([&] { return Clock::now() >= start + std::chrono::milliseconds(100 * (i + 1)); },
                                 std::chrono::milliseconds(200));
        }
        return Clock::now();
    }
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int turns = std::stoi(bench::option(argc, argv, "--turns", "20"));
    TempFolder folder("speech_latency");
    test::ServerProcess server(folder.path.string() + "/data");

    Client client;
    QNetworkRequest request(QUrl(QString::fromStdString(server.realtimeOrigin() + "/v1/realtime?model=tarnwick-local")));
    request.setRawHeader("Authorization", QByteArray::fromStdString("Bearer " + test::mintSecret(server.port())));
    client.socket.open(request);
    if (!test::spinUntil([&] { return client.socket.state() == QAbstractSocket::ConnectedState; })) {
        std::fprintf(stderr, "speech_latency: cannot connect\n");
        return 1;
    }
    client.send({{"type", "session.update"},
                 {"session",
                  {{"tools", toolCatalogue()},
                   {"audio", {{"input", {{"turn_detection", {{"type", "server_vad"}, {"create_response", true}}}}}}}}}});

    std::vector<double> fromStopped, fromVoiceEnd;
    for (int t = 0; t < turns; ++t) {
        const std::string text = sentences[t % std::size(sentences)];
        const test::Speaker speaker{t % 2 ? "en-gb" : "en-us", 160 + 10 * (t % 4), 0};
        // spokenPcm ends with a second of quiet: the voiced audio ends where that begins.
        const std::string pcm = test::spokenPcm(folder.path.string(), text, speaker);
        const size_t mark = client.events.size();
        const size_t voicedBytes = pcm.size() - 48000;
        client.stream(pcm.substr(0, voicedBytes));
        const auto voiceEnd = Clock::now();
        client.stream(pcm.substr(voicedBytes) + test::silencePcm(500));
        std::optional<Clock::time_point> stopped, firstAudio;
        test::spinUntil([&] {
            for (size_t i = mark; i < client.events.size(); ++i) {
                const auto& [event, at] = client.events[i];
                const std::string type = event.value("type", "");
                if (type == "input_audio_buffer.speech_stopped" && !stopped) stopped = at;
                if (type == "response.output_audio.delta" && stopped && !firstAudio) firstAudio = at;
            }
            return firstAudio.has_value();
        }, std::chrono::seconds(10));
        if (!stopped || !firstAudio) {
            std::printf("turn %d (\"%s\"): no reply\n", t, text.c_str());
            continue;
        }
        fromStopped.push_back(ms(*firstAudio - *stopped));
        fromVoiceEnd.push_back(ms(*firstAudio - voiceEnd));
        std::printf("turn %2d %-28s speech_stopped -> audio %6.1f ms, voice end -> audio %6.1f ms\n", t, text.c_str(),
                    fromStopped.back(), fromVoiceEnd.back());
        test::spinUntil([] { return false; }, std::chrono::milliseconds(300)); // the rest of the reply
    }
    if (fromStopped.empty()) return 1;
    std::printf("end of voiced audio -> first reply audio: median %.1f ms, p90 %.1f ms, max %.1f ms (%zu turns, the "
                "detector's hangover included)\n",
                bench::percentile(fromVoiceEnd, 0.5), bench::percentile(fromVoiceEnd, 0.9),
                bench::percentile(fromVoiceEnd, 1.0), fromVoiceEnd.size());
    std::printf("speech_stopped event -> first reply audio: median %.1f ms\n", bench::percentile(fromStopped, 0.5));

    // Idle: a connected client streaming silence for 10 s, then no client for 10 s.
    const auto cpuOver = [&](const std::function<void()>& during) {
        const auto before = bench::sampleProcess(server.process().pid());
        QElapsedTimer wall;
        wall.start();
        during();
        const auto after = bench::sampleProcess(server.process().pid());
        return before && after ? 100.0 * (after->cpuSeconds - before->cpuSeconds) / (double(wall.elapsed()) / 1000) : -1;
    };
    const double streaming = cpuOver([&] { client.stream(test::silencePcm(10000)); });
    client.socket.close();
    const double alone = cpuOver([] { test::spinUntil([] { return false; }, std::chrono::seconds(10)); });
    std::printf("server CPU, client streaming silence: %.2f %%; no client: %.2f %%\n", streaming, alone);
    return 0;
}
