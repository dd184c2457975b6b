#include "platform/linux/mpris_media_keys.h"
#include "platform/linux/mpris_player_choice.h"

#include "common/log.h"
#include "integration/process_helpers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

namespace twk {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

std::vector<std::string> concatenated(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

/// The stand-in player of tests/fixtures on the harness's session bus;
/// killed with the test, also when it fails.
class TestPlayer {
public:
    TestPlayer(const std::string& name, const std::string& status, const std::vector<std::string>& properties = {})
        : name_(name),
          log_(std::filesystem::temp_directory_path() / ("twk-mpris-" + std::to_string(getpid()) + "-" + name)),
          process_(MPRIS_TEST_PLAYER, concatenated({name, status, log_.string()}, properties))
    {
        EXPECT_TRUE(process_.waitForOutput("ready\n")) << process_.output();
    }
    ~TestPlayer() { std::filesystem::remove(log_); }

    /// The MPRIS calls it has received, oldest first.
    Calls calls() const
    {
        Calls lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    bool waitForCalls(const Calls& expected) const
    {
        const auto deadline = Clock::now() + 5s;
        while (calls() != expected && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
        return calls() == expected;
    }

    std::string status() const
    {
        auto get = QDBusMessage::createMethodCall(QString::fromStdString("org.mpris.MediaPlayer2." + name_),
                                                  "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties", "Get");
        get << QString("org.mpris.MediaPlayer2.Player") << QString("PlaybackStatus");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
        return reply.arguments().value(0).value<QDBusVariant>().variant().toString().toStdString();
    }

    /// Stops the process: it stays on the bus but answers nothing.
    void freeze() const { process_.sendSignal(SIGSTOP); }

private:
    std::string name_;
    std::filesystem::path log_;
    test::ChildProcess process_;
};

struct CapturedLog {
    std::vector<std::string> lines;
    LogCapture capture{[this](const std::string& l) { lines.push_back(l); }};
};

Clock::duration timedPress(MediaKeys& keys, MediaKey key)
{
    const auto start = Clock::now();
    keys.press(key);
    return Clock::now() - start;
}

TEST(MprisMediaKeys, OnePlayerGetsEveryKey)
{
    TestPlayer player("solo", "Paused");
    MprisMediaKeys keys;
    EXPECT_EQ(keys.press(MediaKey::playPause), MediaKeyOutcome::taken);
    ASSERT_TRUE(player.waitForCalls({"PlayPause"})) << player.calls().size();
    EXPECT_EQ(player.status(), "Playing");
    keys.press(MediaKey::playPause);
    keys.press(MediaKey::next);
    keys.press(MediaKey::previous);
    EXPECT_TRUE(player.waitForCalls({"PlayPause", "PlayPause", "Next", "Previous"}));
    EXPECT_EQ(player.status(), "Paused");
}

TEST(MprisMediaKeys, PlayingBeatsPausedWhichBeatsStoppedThenTheNewestWins)
{
    // Started in this order: the newest is the Stopped one, the first by name a Paused one.
    TestPlayer alpha("alpha", "Paused"), zeta("zeta", "Playing"), beta("beta", "Paused"), gamma("gamma", "Stopped");
    MprisMediaKeys keys;
    keys.press(MediaKey::next);
    EXPECT_TRUE(zeta.waitForCalls({"Next"}));
    keys.press(MediaKey::playPause); // zeta pauses: of the three Paused ones beta is the newest
    EXPECT_TRUE(zeta.waitForCalls({"Next", "PlayPause"}));
    keys.press(MediaKey::next);
    EXPECT_TRUE(beta.waitForCalls({"Next"}));
    EXPECT_EQ(alpha.calls(), Calls{});
    EXPECT_EQ(gamma.calls(), Calls{});
}

TEST(MprisMediaKeys, PlayersThatRefuseAreLeftAlone)
{
    TestPlayer alpha("alpha", "Stopped"), zeta("zeta", "Stopped", {"CanGoNext=false"}),
        beta("beta", "Playing", {"CanControl=false"});
    CapturedLog log;
    MprisMediaKeys keys;
    keys.press(MediaKey::previous);
    EXPECT_TRUE(zeta.waitForCalls({"Previous"}));
    EXPECT_EQ(keys.press(MediaKey::next), MediaKeyOutcome::refused);
    EXPECT_EQ(log.lines, Calls{"[twk/media] next: org.mpris.MediaPlayer2.zeta cannot do that now"});
    EXPECT_EQ(zeta.calls(), Calls{"Previous"});
    EXPECT_EQ(alpha.calls(), Calls{});
    EXPECT_EQ(beta.calls(), Calls{});
}

TEST(MprisMediaKeys, WithoutPlayersAKeyDoesNothingAndSaysSo)
{
    CapturedLog log;
    MprisMediaKeys keys;
    for (MediaKey key : {MediaKey::playPause, MediaKey::next, MediaKey::previous}) {
        EXPECT_LT(timedPress(keys, key), 1s);
        EXPECT_EQ(keys.press(key), MediaKeyOutcome::noPlayer);
    }
    EXPECT_EQ(log.lines.size(), 6u);
    EXPECT_EQ(log.lines.back(), "[twk/media] previous: no media player to control");
}

TEST(MprisMediaKeys, AFrozenPlayerHoldsAPressUpOnlyBriefly)
{
    std::optional<TestPlayer> alpha(std::in_place, "alpha", "Paused");
    TestPlayer zeta("zeta", "Paused");
    zeta.freeze(); // the newest, but it cannot say it is Paused
    CapturedLog log;
    MprisMediaKeys keys;

    EXPECT_LT(timedPress(keys, MediaKey::playPause), 1500ms);
    EXPECT_TRUE(alpha->waitForCalls({"PlayPause"}));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("org.mpris.MediaPlayer2.zeta did not tell its state"), std::string::npos) << log.lines[0];

    alpha.reset(); // now the frozen one is all there is, and the key itself waits on it
    EXPECT_LT(timedPress(keys, MediaKey::next), 1500ms);
    EXPECT_EQ(keys.press(MediaKey::previous), MediaKeyOutcome::failed);
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_NE(log.lines[1].find("org.mpris.MediaPlayer2.zeta did not take Next"), std::string::npos) << log.lines[1];
}

TEST(MprisMediaKeys, PlainThreadsCanPressAtTheSameTime)
{
    TestPlayer player("solo", "Playing");
    MprisMediaKeys keys;
    auto pressThrice = [&keys] {
        for (int i = 0; i < 3; ++i) keys.press(MediaKey::next);
    };
    std::thread first(pressThrice), second(pressThrice);
    first.join();
    second.join();
    EXPECT_TRUE(player.waitForCalls(Calls(6, "Next")));
}

TEST(MprisPlayerChoice, UniqueNamesCompareAsNumbersAndTiesGoByName)
{
    const std::string a = "org.mpris.MediaPlayer2.a", b = "org.mpris.MediaPlayer2.b";
    EXPECT_EQ(chooseActivePlayer({{a, ":1.9", "Paused"}, {b, ":1.10", "Paused"}}), 1u);
    EXPECT_EQ(chooseActivePlayer({{b, ":2.0", ""}, {a, ":1.99", ""}}), 0u);
    EXPECT_EQ(chooseActivePlayer({{a, "", ""}, {b, ":1.3", "Stopped"}}), 1u) << "an unknown owner is the oldest";
    EXPECT_EQ(chooseActivePlayer({{b, ":1.4", "Playing"}, {a, ":1.4", "Playing"}}), 1u);
    EXPECT_EQ(chooseActivePlayer({{a, ":1.4", "Playing", false}}), std::nullopt);
    EXPECT_EQ(chooseActivePlayer({}), std::nullopt);
}

} // namespace
} // namespace twk
