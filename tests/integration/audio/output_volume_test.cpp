#include "platform/linux/pulse_output_volume.h"
#include "skills/skills.h"

#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/virtual_main_loop.h"
#include "integration/audio/sound_server.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace twk {
namespace {

/// The speaker's volume as the server's own tool prints it.
std::string speakerVolume()
{
    return test::runTool("/usr/bin/pactl", {"get-sink-volume", "spk"});
}

class OutputVolumeTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    PulseOutputVolume volume;
    Skills skills{{.loop = loop, .workspace = workspace, .mediaKeys = mediaKeys, .host = host, .volume = volume}};
};

TEST_F(OutputVolumeTest, TheDefaultOutputTakesTheClampedVolume)
{
    EXPECT_EQ(skills.setVolume(30), R"({"ok":true,"message":"volume 30%"})");
    EXPECT_NE(speakerVolume().find("front-left: 19661 /  30% / -31.37 dB,   front-right: 19661 /  30%"),
              std::string::npos)
        << speakerVolume();
    EXPECT_EQ(skills.setVolume(150), R"({"ok":true,"message":"volume 100%"})");
    EXPECT_NE(speakerVolume().find("65536 / 100%"), std::string::npos) << speakerVolume();
    EXPECT_EQ(skills.setVolume(-5), R"({"ok":true,"message":"volume 0%"})");
    EXPECT_NE(speakerVolume().find("front-left: 0 /   0%"), std::string::npos) << speakerVolume();

    // One channel at a time leaves the other as it was.
    ASSERT_TRUE(volume.setVolume("spk", 1, 0.5f));
    EXPECT_NE(speakerVolume().find("front-left: 0 /   0% / -inf dB,   front-right: 32768 /  50%"), std::string::npos)
        << speakerVolume();

    // The default moved to another output: that one is set.
    test::runTool("/usr/bin/pactl", {"set-default-sink", "micfeed"});
    EXPECT_EQ(volume.defaultOutput()->id, "micfeed");
}

TEST(OutputVolumeWithoutServerTest, NoSoundServerMeansNoDefaultOutput)
{
    ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse-native", 1);
    test::VirtualMainLoop loop;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    PulseOutputVolume volume;
    Skills skills{{.loop = loop, .workspace = workspace, .mediaKeys = mediaKeys, .host = host, .volume = volume}};
    EXPECT_EQ(skills.setVolume(40), R"({"ok":false,"error":"could not read default output"})");
}

} // namespace
} // namespace twk
