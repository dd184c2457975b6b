#include "common/text_case.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "skills/music_library.h"
#include "skills/skills.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace twk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class MusicSkillsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        music = fs::temp_directory_path() / ("twk-music-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(music);
        host.music = music.string();
    }
    void TearDown() override { fs::remove_all(music); }

    void addFile(const std::string& relative)
    {
        fs::create_directories((music / relative).parent_path());
        std::ofstream(music / relative) << "x";
    }

    std::string spotify(const std::string& query)
    {
        auto reply = test::startTask(loop, skills.playOnSpotify(query));
        loop.advance(1s);
        EXPECT_TRUE(reply->has_value());
        return reply->value_or("");
    }

    fs::path music;
    test::VirtualMainLoop loop;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
};

TEST_F(MusicSkillsTest, ALibraryMatchPlaysTheFirstTrackInPathOrder)
{
    addFile("Queen/A Night at the Opera/11 Bohemian Rhapsody.flac");
    addFile("Queen/Greatest Hits/01 Bohemian Rhapsody.mp3");
    addFile("Bohemian Rhapsody lyrics.txt"); // not audio
    EXPECT_EQ(skills.playOnAppleMusic("bohemian RHAPSODY"),
              R"({"ok":true,"message":"playing bohemian RHAPSODY from your music library"})");
    ASSERT_EQ(workspace.opened.size(), 1u);
    EXPECT_EQ(workspace.opened[0], "file://" + music.string() + "/Queen/A%20Night%20at%20the%20Opera/11%20Bohemian%20Rhapsody.flac");

    // Folders count: an artist's name finds their tracks.
    EXPECT_EQ(findMusicFile(music.string(), "queen/greatest"), (music / "Queen/Greatest Hits/01 Bohemian Rhapsody.mp3").string());
    EXPECT_FALSE(findMusicFile((music / "missing").string(), "queen"));

    workspace.openAccepted = false;
    EXPECT_EQ(skills.playOnAppleMusic("bohemian"),
              R"({"ok":false,"error":"Apple Music: could not play 11 Bohemian Rhapsody.flac"})");
}

TEST_F(MusicSkillsTest, WithoutALibraryMatchTheWebSearchOpens)
{
    addFile("Other.mp3");
    const std::string expected =
        R"({"ok":true,"message":"no library match for Guns \"N\" Roses & Co; opened Apple Music search — add it to your library or click play"})";
    EXPECT_EQ(skills.playOnAppleMusic(R"(Guns "N" Roses & Co)"), expected);
    host.music.reset();
    EXPECT_EQ(skills.playOnAppleMusic(R"(Guns "N" Roses & Co)"), expected);
    EXPECT_EQ(workspace.opened, std::vector<std::string>(2, "https://music.apple.com/search?term=Guns%20%22N%22%20Roses%20%26%20Co"));

    // No browser took the search: saying it opened would be false.
    workspace.openAccepted = false;
    const auto failed = nlohmann::json::parse(skills.playOnAppleMusic("Queen"));
    EXPECT_EQ(failed["ok"], false);
    EXPECT_NE(failed["error"].get<std::string>().find("no library match for Queen"), std::string::npos) << failed;

    // A blank query would match every track.
    EXPECT_EQ(skills.playOnAppleMusic(" "), R"({"ok":false,"error":"Apple Music: invalid query"})");
    EXPECT_EQ(workspace.opened.size(), 3u);
}

TEST_F(MusicSkillsTest, SpotifyOpensItsSearchThenComesForward)
{
    workspace.apps = {{40, "spotify", "Spotify", true}};
    EXPECT_EQ(spotify("lo-fi beats/2"),
              R"({"ok":true,"message":"opened Spotify search for lo-fi beats/2 — Spotify doesn't expose search via automation, so you'll need to click the play button"})");
    EXPECT_EQ(workspace.opened, std::vector<std::string>{"spotify:search:lo-fi%20beats%2F2"});
    EXPECT_EQ(workspace.activated, std::vector<int>{40});

    // Spotify came forward, yet nothing took the search.
    workspace.openAccepted = false;
    EXPECT_EQ(spotify("jazz"), R"({"ok":false,"error":"could not open Spotify"})");
    EXPECT_EQ(workspace.activated.size(), 2u);
    EXPECT_EQ(spotify(""), R"({"ok":false,"error":"Spotify: invalid query"})");
}

TEST(TextCaseTest, LowercasesEveryScriptAndKeepsBrokenBytes)
{
    EXPECT_EQ(lowercased("Visual STUDIO Code"), "visual studio code");
    EXPECT_EQ(lowercased("ÜBER ΣΟΦΙΑ МОСКВА"), "über σοφια москва");
    EXPECT_EQ(lowercased("A\xff\xc3"), "a\xff\xc3");
}

} // namespace
} // namespace twk
