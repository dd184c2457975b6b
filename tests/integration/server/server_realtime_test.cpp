// The realtime endpoint of the real tarnwick-server, with WebSocket clients:
// who may connect, voice-activity events from the audio sent, a scenario
// played on cue, the offline engine's replies, and what gets recorded.

#include "fakes/pcm_signals.h"
#include "integration/server/raw_http.h"
#include "integration/server/realtime_test_client.h"
#include "integration/server/server_process.h"
#include "integration/server/server_requests.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <fstream>
#include <thread>

namespace twk {
namespace {

using nlohmann::json;
using test::RealtimeTestClient;
using test::ServerProcess;

const std::string user = "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c";

std::string mintSecret(const ServerProcess& server)
{
    return test::mintSecret(server.port(), user);
}

test::RawResponse upgrade(const ServerProcess& server, const std::optional<std::string>& secret,
                          const std::string& target = "/v1/realtime?model=tarnwick-local")
{
    return test::rawRequest(server.port(), "GET " + target +
                                               " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n" +
                                               (secret ? "Authorization: Bearer " + *secret + "\r\n" : "") + "\r\n");
}

std::string base64Decode(const json& text) { return QByteArray::fromBase64(QByteArray::fromStdString(text)).toStdString(); }

/// Half a second of quiet, an utterance, then enough quiet to end the turn.
std::string utterance() { return test::silencePcm(500) + test::speechLikePcm(800) + test::silencePcm(900); }

class ServerRealtimeTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const { std::ofstream(path(name), std::ios::binary) << bytes; }
};

TEST_F(ServerRealtimeTest, OnlyAMintedUnexpiredSecretOpensTheSocket)
{
    ServerProcess server(path("data"), {"--secret-ttl", "1"});
    for (const std::optional<std::string>& bad : {std::optional<std::string>(), std::optional<std::string>("twk_cs_forged")}) {
        auto r = upgrade(server, bad);
        EXPECT_EQ(r.status, 401);
        EXPECT_EQ(r.headers["www-authenticate"], "Bearer");
        EXPECT_NE(r.body.find("\"error\""), std::string::npos);
        EXPECT_TRUE(r.closedByServer);
    }
    const std::string secret = mintSecret(server);
    EXPECT_EQ(upgrade(server, secret, "/v1/realtime").status, 400); // no model
    auto accepted = upgrade(server, secret);
    EXPECT_EQ(accepted.status, 101);
    EXPECT_EQ(accepted.headers["sec-websocket-accept"], "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");

    RealtimeTestClient open;
    ASSERT_TRUE(open.open(server.realtimeOrigin(), secret));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(upgrade(server, secret).status, 401);
    RealtimeTestClient late;
    EXPECT_FALSE(late.open(server.realtimeOrigin(), secret));
    // The credential is for connecting: a session already open carries on.
    open.send({{"type", "session.update"}, {"session", {{"type", "realtime"}}}});
    EXPECT_TRUE(open.waitFor("session.updated"));
}

TEST_F(ServerRealtimeTest, AScenarioPlaysOnCueOverARealSocket)
{
    const std::string reply = test::speechLikePcm(250);
    write("reply.wav", test::wavFile(reply));
    write("scenario.json", R"({
      "connections": [
        [
          {"on": "session.update", "send": {"type": "test.ready"}},
          {"on": {"vad": "speech_stopped"}, "send": [
            {"type": "conversation.item.input_audio_transcription.completed", "transcript": "plan my day"},
            {"type": "response.created", "response": {"id": "r1"}},
            {"type": "response.function_call_arguments.done", "call_id": "call_1", "name": "set_plan",
             "arguments": "{\"steps\":[\"wake up\"]}"},
            {"type": "response.done", "response": {"id": "r1", "status": "completed"}}
          ]},
          {"on": {"message": {"type": "conversation.item.create", "item": {"type": "function_call_output", "call_id": "call_1"}}}},
          {"on": "response.create", "audio": {"file": "reply.wav", "chunkMs": 100, "intervalMs": 30}},
          {"on": {"delay": 0.2}, "drop": true}
        ],
        [{"send": {"type": "test.second"}}]
      ]
    })");
    ServerProcess server(path("data"), {"--scenario", path("scenario.json"), "--record", path("record.jsonl")});

    RealtimeTestClient client;
    ASSERT_TRUE(client.open(server.realtimeOrigin(), mintSecret(server)));
    client.send({{"type", "session.update"}, {"session", {{"type", "realtime"}, {"instructions", "be brief"}}}});
    ASSERT_TRUE(client.waitFor("test.ready"));
    EXPECT_EQ(client.typesFrom(), (std::vector<std::string>{"session.created", "session.updated", "test.ready"}));

    client.sendAudio(utterance());
    const auto call = client.waitFor("response.function_call_arguments.done");
    ASSERT_TRUE(call);
    EXPECT_EQ((*call)["call_id"], "call_1");
    EXPECT_EQ((*call)["name"], "set_plan");
    const auto started = client.waitFor("input_audio_buffer.speech_started");
    const auto stopped = client.waitFor("input_audio_buffer.speech_stopped");
    ASSERT_TRUE(started && stopped);
    EXPECT_NEAR((*started)["audio_start_ms"].get<double>(), 500, 40);
    EXPECT_NEAR((*stopped)["audio_end_ms"].get<double>(), 1300, 40);
    EXPECT_EQ((*started)["item_id"], (*stopped)["item_id"]);
    // Nothing is spoken before the tool's output and the request for a response.
    const size_t mark = client.events().size();
    client.send({{"type", "response.create"}}); // out of order: waits behind the output cue
    client.send({{"type", "conversation.item.create"}, {"item", {{"type", "message"}, {"role", "user"}}}});
    client.send({{"type", "conversation.item.create"},
                 {"item", {{"type", "function_call_output"}, {"call_id", "call_1"}, {"output", R"({"ok":true})"}}}});
    EXPECT_FALSE(client.waitFor("response.output_audio.delta", mark, std::chrono::milliseconds(300)));
    client.send({{"type", "response.create"}});

    ASSERT_TRUE(client.waitFor("response.output_audio.done", mark));
    std::string spoken;
    size_t deltas = 0;
    for (const auto& e : client.events())
        if (e["type"] == "response.output_audio.delta") {
            spoken += base64Decode(e["delta"]);
            ++deltas;
        }
    EXPECT_EQ(deltas, 3u); // 100 + 100 + 50 ms
    EXPECT_EQ(spoken, reply);

    ASSERT_TRUE(client.waitForDisconnect());

    // The next connection plays the next list.
    RealtimeTestClient second;
    ASSERT_TRUE(second.open(server.realtimeOrigin(), mintSecret(server)));
    EXPECT_TRUE(second.waitFor("test.second"));

    // Every client message was recorded, in order, with its connection.
    std::ifstream record(path("record.jsonl"));
    std::vector<std::string> types;
    size_t appendedBytes = 0;
    for (std::string line; std::getline(record, line);) {
        const json entry = json::parse(line);
        EXPECT_EQ(entry["connection"], 1);
        types.push_back(entry["type"]);
        if (entry["type"] == "input_audio_buffer.append") appendedBytes += base64Decode(entry["message"]["audio"]).size();
    }
    EXPECT_EQ(appendedBytes, utterance().size());
    types.erase(std::remove(types.begin(), types.end(), "input_audio_buffer.append"), types.end());
    EXPECT_EQ(types, (std::vector<std::string>{"session.update", "response.create", "conversation.item.create",
                                               "conversation.item.create", "response.create"}));
    EXPECT_EQ(server.stop(), 0); // also: no leak behind dropped sockets (asan)
}

/// The frames a server sent: (opcode, payload) each, unmasked as servers send them.
std::vector<std::pair<int, std::string>> frames(const std::string& bytes)
{
    std::vector<std::pair<int, std::string>> out;
    for (size_t at = 0; at + 2 <= bytes.size();) {
        const int opcode = uint8_t(bytes[at]) & 0x0f;
        uint64_t length = uint8_t(bytes[at + 1]) & 0x7f;
        at += 2;
        const int extra = length == 126 ? 2 : length == 127 ? 8 : 0;
        if (extra) {
            length = 0;
            for (int i = 0; i < extra; ++i) length = length << 8 | uint8_t(bytes[at + size_t(i)]);
            at += size_t(extra);
        }
        out.emplace_back(opcode, bytes.substr(at, length));
        at += length;
    }
    return out;
}

TEST_F(ServerRealtimeTest, ADropSendsNoCloseFrameAndACloseDoes)
{
    write("scenario.json", R"({"connections": [[{"on": {"delay": 0.05}, "drop": true}],
                                               [{"close": {"code": 4000, "reason": "bye"}}]]})");
    ServerProcess server(path("data"), {"--scenario", path("scenario.json")});
    const std::string request = "GET /v1/realtime?model=m HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
                                "Authorization: Bearer ";
    std::vector<std::vector<std::pair<int, std::string>>> seen;
    for (int connection = 1; connection <= 2; ++connection) {
        test::RawConnection c(server.port());
        c.write(request + mintSecret(server) + "\r\n\r\n");
        ASSERT_EQ(c.read().status, 101);
        const auto rest = c.readToEnd();
        ASSERT_TRUE(rest);
        seen.push_back(frames(*rest));
    }
    ASSERT_EQ(seen[0].size(), 1u);
    EXPECT_EQ(seen[0][0].first, 0x1); // session.created, then the line goes dead
    ASSERT_EQ(seen[1].size(), 2u);
    EXPECT_EQ(seen[1][1].first, 0x8);
    EXPECT_EQ(seen[1][1].second, std::string("\x0f\xa0" "bye"));
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServerRealtimeTest, AScriptedPauseIsNeverCutShort)
{
    // Each pause is counted from its cue, which arrives after the client sent it.
    const std::vector<double> pauses{0.2, 0.3, 0.45, 0.6};
    json steps = json::array();
    for (size_t i = 0; i < pauses.size(); ++i) {
        const json cue = {{"type", "input_audio_buffer.clear"}, {"event_id", std::to_string(i)}};
        steps.push_back({{"on", {{"message", cue}}}});
        steps.push_back({{"on", {{"delay", pauses[i]}}}, {"send", {{"type", "test.tick"}}}});
    }
    write("scenario.json", json{{"steps", steps}}.dump());
    ServerProcess server(path("data"), {"--scenario", path("scenario.json")});
    RealtimeTestClient client;
    ASSERT_TRUE(client.open(server.realtimeOrigin(), mintSecret(server)));
    for (size_t i = 0; i < pauses.size(); ++i) {
        const size_t mark = client.events().size();
        const auto sent = std::chrono::steady_clock::now();
        client.send({{"type", "input_audio_buffer.clear"}, {"event_id", std::to_string(i)}});
        ASSERT_TRUE(client.waitFor("test.tick", mark));
        const auto waited = std::chrono::steady_clock::now() - sent;
        EXPECT_GE(waited + std::chrono::milliseconds(1), std::chrono::duration<double>(pauses[i])) << "pause " << i;
    }
}

TEST_F(ServerRealtimeTest, WithoutAScenarioATurnGetsASpokenReply)
{
    ServerProcess server(path("data"));
    RealtimeTestClient client;
    ASSERT_TRUE(client.open(server.realtimeOrigin(), mintSecret(server)));
    client.send({{"type", "session.update"},
                 {"session", {{"audio", {{"input", {{"turn_detection", {{"type", "semantic_vad"}, {"create_response", true}}}}}}}}}});
    client.sendAudio(utterance());
    ASSERT_TRUE(client.waitFor("response.done"));
    const auto types = client.typesFrom();
    const auto at = [&types](const std::string& t) { return std::find(types.begin(), types.end(), t) - types.begin(); };
    EXPECT_LT(at("input_audio_buffer.speech_started"), at("input_audio_buffer.speech_stopped"));
    EXPECT_LT(at("input_audio_buffer.speech_stopped"), at("conversation.item.input_audio_transcription.completed"));
    // No tools offered: the tone is refused or taken for a question; either way the answer is spoken.
    EXPECT_LT(at("response.created"), at("response.output_audio.delta"));
    EXPECT_LT(at("response.output_audio.delta"), at("response.output_audio_transcript.done"));
    EXPECT_LT(at("response.output_audio_transcript.done"), at("response.done"));

    // Protocol mistakes are answered with error events; the session goes on.
    size_t mark = client.events().size();
    client.sendText("not json");
    client.send({{"no", "type"}});
    client.send({{"type", "input_audio_buffer.append"}, {"audio", "***"}});
    client.send({{"type", "session.bogus"}, {"event_id", "c7"}});
    client.send({{"type", "response.cancel"}});
    ASSERT_TRUE(test::spinUntil([&] { return client.events().size() >= mark + 5; }));
    std::vector<std::string> codes;
    for (size_t i = mark; i < client.events().size(); ++i) codes.push_back(client.events()[i]["error"]["code"]);
    EXPECT_EQ(codes, (std::vector<std::string>{"invalid_json", "missing_type", "invalid_value", "unknown_event_type",
                                               "response_cancel_not_active"}));
    EXPECT_EQ(client.events()[mark + 3]["error"]["event_id"], "c7");

    // With turn detection off, speech is not detected and nothing is answered.
    client.send({{"type", "session.update"}, {"session", {{"audio", {{"input", {{"turn_detection", nullptr}}}}}}}});
    ASSERT_TRUE(client.waitFor("session.updated", mark));
    mark = client.events().size();
    client.sendAudio(utterance());
    client.send({{"type", "input_audio_buffer.commit"}});
    EXPECT_FALSE(client.waitFor("input_audio_buffer.speech_started", mark, std::chrono::milliseconds(500)));
    EXPECT_TRUE(client.isConnected());
    EXPECT_EQ(server.stop(), 0) << server.process().output();
}

TEST_F(ServerRealtimeTest, ShuttingDownTellsClientsTheServerIsGoingAway)
{
    ServerProcess server(path("data"));
    RealtimeTestClient client;
    ASSERT_TRUE(client.open(server.realtimeOrigin(), mintSecret(server)));
    server.process().sendSignal(SIGINT);
    ASSERT_TRUE(client.waitForDisconnect());
    EXPECT_EQ(client.closeCode(), int(QWebSocketProtocol::CloseCodeGoingAway));
    EXPECT_EQ(server.process().waitForExit(), 0);
    EXPECT_NE(server.process().output().find("[twk/server] quitting on SIGINT"), std::string::npos);
}

} // namespace
} // namespace twk
