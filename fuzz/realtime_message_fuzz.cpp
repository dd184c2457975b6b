// Server messages into RealtimeClient: the input is a sequence of frames
// (split at newlines, every other one delivered as a binary frame), with the
// client's own cancel and tool-result requests between them. Besides memory
// and UB errors, the response requests and cancels the client sends are
// checked against a model driven by the events it delivers.

#include "fuzz_check.h"
#include "common/log.h"
#include "fakes/fake_websocket.h"
#include "voice/realtime_client.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace twk;


struct Model {
    bool inFlight = false;
    bool pending = false;
    int creates = 0;
    int cancels = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static LogCapture quiet([](const std::string&) {});
    test::FakeWebSocketFactory sockets;
    auto client = RealtimeClient::create(sockets, "ws://127.0.0.1:1", "prompt", nlohmann::json::array(), "v",
                                         {"audio"});
    Model model;
    client->onEvent = [&](RealtimeClient::Event e) {
        if (std::holds_alternative<realtime::ResponseStarted>(e)) model.inFlight = true;
        if (std::holds_alternative<realtime::ResponseDone>(e)) {
            model.inFlight = false;
            if (model.pending) ++model.creates; // sent right after this event
            model.pending = false;
        }
    };
    client->connect("secret", "model");
    test::FakeWebSocket& socket = sockets.last();

    int creates = 0, cancels = 0;
    size_t counted = 0;
    const auto countSent = [&] {
        for (; counted < socket.sent.size(); ++counted) {
            const auto type = nlohmann::json::parse(socket.sent[counted]).value("type", "");
            creates += type == "response.create";
            cancels += type == "response.cancel";
        }
    };

    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (size_t index = 0; !input.empty() || index == 0; ++index) {
        const size_t newline = input.find('\n');
        const std::string_view frame = input.substr(0, newline);
        input = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
        if (index % 2 == 1)
            socket.receiveBinary(frame);
        else
            socket.receiveText(frame);

        switch (frame.size() % 4) {
        case 0:
            model.cancels += model.inFlight;
            client->cancelResponse();
            break;
        case 1:
            if (model.inFlight)
                model.pending = true;
            else
                ++model.creates;
            client->sendToolResult("call", "{}", std::nullopt, true);
            break;
        default:
            break;
        }
        countSent();
        check(creates == model.creates, "response.create sent exactly when asked and no response is in flight");
        check(cancels == model.cancels, "response.cancel sent only while a response is in flight");
    }
    return 0;
}
