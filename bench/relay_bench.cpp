// relay_bench [--frames 2000] [--megabytes 64]: tarnwick-server's relay to a
// hosted realtime service (the tests' fake provider, an echo), over loopback.
// 1. Overhead per frame: the round trip of a 100 ms audio-delta frame through
//    the relay beside the same round trip straight to the provider; half the
//    difference is what the relay adds to one frame in one direction
//    (target: median under 0.2 ms).
// 2. Memory under a slow peer: the server's resident memory while the
//    client sends --megabytes to a provider that reads nothing, then while
//    the provider sends as much to a client that reads nothing (target:
//    bounded, not growing with what is sent).

#include "audio_delta_frame.h"
#include "integration/server/fake_provider.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"
#include "session_rig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QWebSocket>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;

struct Client {
    QWebSocket socket;
    int received = 0;
    qint64 receivedBytes = 0;
    bool ended = false;

    Client()
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& t) {
            ++received;
            receivedBytes += t.size();
        });
        QObject::connect(&socket, &QWebSocket::binaryMessageReceived, [this](const QByteArray& d) {
            ++received;
            receivedBytes += d.size();
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { ended = true; });
    }
    bool open(const std::string& url, const std::string& secret)
    {
        QNetworkRequest request(QUrl(QString::fromStdString(url + "/v1/realtime?model=gpt-realtime")));
        request.setRawHeader("Authorization", QByteArray::fromStdString("Bearer " + secret));
        socket.open(request);
        return spin([this] { return socket.state() == QAbstractSocket::ConnectedState || ended; }, 10'000) && !ended;
    }
    template <typename Done> static bool spin(Done done, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        return done();
    }
};

std::vector<double> roundTrips(Client& client, const QString& frame, int count)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const int before = client.received;
        const auto start = Clock::now();
        client.socket.sendTextMessage(frame);
        if (!Client::spin([&] { return client.received > before; }, 5000)) break;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return ms;
}

/// Samples the server's memory for `ms`; with `serve`, this process's own sockets keep working meanwhile.
long peakDuring(int pid, int ms, long& peak, bool serve)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (serve) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        if (const auto s = bench::sampleProcess(pid)) peak = std::max(peak, s->rssKiB);
    }
    return peak;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int frames = 2000;
    int megabytes = 64;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--megabytes") == 0) megabytes = std::atoi(argv[i + 1]);
    }
    const QByteArray chunk(64 * 1024, 'a');
    test::FakeProvider::Settings settings;
    settings.onFrame = [chunk, megabytes](test::FakeProviderSocket& socket, const test::FakeProviderFrame& frame) {
        if (frame.data == "bulk") {
            for (int i = 0; i < megabytes * 16; ++i) socket.sendBinary(chunk);
            socket.sendText("done");
        } else if (frame.data == "stall") {
            socket.stopReading();
        } else if (!frame.binary) {
            socket.sendText(frame.data.toStdString());
        }
    };
    test::FakeProvider provider(settings);
    QTemporaryDir dir;
    test::ServerProcess server(dir.path().toStdString() + "/data",
                               {"--provider-url", provider.baseUrl(), "--quota-minutes", "0"}, {},
                               {{"TARNWICK_PROVIDER_API_KEY", test::FakeProvider::Settings{}.apiKey}});
    const std::string secret = test::mintSecret(server.port());
    if (secret.empty()) {
        std::fprintf(stderr, "no credential: %s\n", server.process().output().c_str());
        return 1;
    }

    // 1. Overhead per frame.
    const QString frame = QString::fromStdString(audioDeltaFrame(4800));
    Client direct, relayed;
    if (!direct.open("ws://127.0.0.1:" + std::to_string(provider.port()), secret) ||
        !relayed.open(server.realtimeOrigin(), secret)) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    roundTrips(direct, frame, 200); // warm-up
    roundTrips(relayed, frame, 200);
    std::vector<double> viaDirect, viaRelay;
    for (int round = 0; round < 4; ++round) { // interleaved, so both see the same machine
        const auto d = roundTrips(direct, frame, frames / 4);
        const auto r = roundTrips(relayed, frame, frames / 4);
        viaDirect.insert(viaDirect.end(), d.begin(), d.end());
        viaRelay.insert(viaRelay.end(), r.begin(), r.end());
    }
    const double directMedian = bench::percentile(viaDirect, 0.5), relayMedian = bench::percentile(viaRelay, 0.5);
    std::printf("round trip of a %d-byte audio-delta frame over loopback, %zu frames:\n", int(frame.size()), viaRelay.size());
    std::printf("  direct to the provider: median %.3f ms, p95 %.3f ms\n", directMedian, bench::percentile(viaDirect, 0.95));
    std::printf("  through the relay:      median %.3f ms, p95 %.3f ms\n", relayMedian, bench::percentile(viaRelay, 0.95));
    std::printf("  relay overhead per frame and direction: median %.3f ms (target < 0.2 ms)\n",
                (relayMedian - directMedian) / 2);
    direct.socket.close();

    // 2. Memory under a slow provider: the client sends, the provider reads nothing.
    relayed.socket.sendTextMessage("stall");
    Client::spin([] { return false; }, 200);
    const int pid = server.process().pid();
    long base = bench::sampleProcess(pid)->rssKiB, peak = base;
    for (int i = 0; i < megabytes * 16; ++i) relayed.socket.sendBinaryMessage(chunk);
    peakDuring(pid, 3000, peak, true);
    std::printf("slow provider: %d MiB sent by the client, server memory peak +%.1f MiB\n", megabytes, double(peak - base) / 1024);
    // The relay drops a provider that takes nothing for its stall time; the next session is a new one.
    relayed.socket.abort();
    Client slowReader;
    if (!slowReader.open(server.realtimeOrigin(), test::mintSecret(server.port(), "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3d"))) {
        std::fprintf(stderr, "cannot connect again\n");
        return 1;
    }

    // 3. Memory under a slow client: the provider sends, the client reads nothing.
    base = bench::sampleProcess(pid)->rssKiB;
    peak = base;
    slowReader.socket.sendTextMessage("bulk");
    slowReader.socket.flush();
    const int before = slowReader.received;
    peakDuring(pid, 3000, peak, false); // the client's event loop does not run: it reads nothing
    const bool drained = Client::spin([&] { return slowReader.received >= before + megabytes * 16 + 1; }, 60'000);
    std::printf("slow client: %d MiB sent by the provider, server memory %ld MiB before, peak +%.1f MiB; all delivered after: %s\n",
                megabytes, base / 1024, double(peak - base) / 1024, drained ? "yes" : "NO");

    slowReader.socket.abort();
    server.stop();
    return 0;
}
