#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/recording_input_device.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "tools/input_routes.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

TEST(InputRoutesTest, ReadTheirArgumentsAndAnswerWithTheOutcome)
{
    test::VirtualMainLoop loop;
    test::RecordingInputDevice device{loop};
    test::FakePasteboard pasteboard;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    CaptureGeometry geometry;
    InputSynthesis input{{loop, device, pasteboard, workspace, skills, geometry}};
    ToolRoutes routes;
    addInputRoutes(routes, input);
    const auto run = [&](const std::string& name, const std::string& args) {
        auto started = test::startTask(loop, (*routes.find(name))(parseToolArgs(args)));
        loop.advance(std::chrono::milliseconds(100));
        return started->value().text;
    };

    EXPECT_EQ(run("scroll", R"({"deltaY":"7","deltaX":"many"})"), R"({"ok":true,"message":"scrolled dy=7 dx=0"})");
    EXPECT_EQ(run("press_key", R"({"combo":"cmd"})"), R"({"ok":false,"error":"no key in cmd"})");
    // type_text pastes: the text is on the clipboard and the paste key went down.
    EXPECT_EQ(run("type_text", R"({"text":"héllo"})"), R"({"ok":true,"message":"pasted 5 chars"})");
    EXPECT_EQ(pasteboard.content, "héllo");
    EXPECT_EQ(device.whats().back(), "key 9 up 0x100000");
}

} // namespace
} // namespace twk
