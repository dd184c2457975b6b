#include "accessibility/input_synthesis.h"
#include "accessibility/user_characters.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/recording_input_device.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

using std::chrono::milliseconds;
using Strings = std::vector<std::string>;

class InputSynthesisTest : public ::testing::Test {
protected:
    Expected<std::string> press(const std::string& combination, std::optional<std::string> app = std::nullopt)
    {
        return test::runTask(loop, input.pressKey(combination, std::move(app)));
    }

    test::VirtualMainLoop loop;
    test::RecordingInputDevice device{loop};
    test::FakePasteboard pasteboard;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    CaptureGeometry geometry;
    InputSynthesis input{{loop, device, pasteboard, workspace, skills, geometry}};
};

TEST_F(InputSynthesisTest, KeyCombinationFormsPostOneKeyWithTheirModifiers)
{
    struct Case {
        std::string combination;
        Strings events;
    };
    const std::vector<Case> cases{
        {"Cmd+Shift+T", {"key 17 down 0x120000", "key 17 up 0x120000"}},
        {"⌘+k", {"key 40 down 0x100000", "key 40 up 0x100000"}},
        {"a+b", {"key 11 down 0x0", "key 11 up 0x0"}},
        {"ctrl+alt+fn+PageDown", {"key 121 down 0x8c0000", "key 121 up 0x8c0000"}},
        {"option+=", {"key 24 down 0x80000", "key 24 up 0x80000"}},
    };
    for (const auto& c : cases) {
        device.events.clear();
        const auto result = press(c.combination);
        ASSERT_TRUE(result) << c.combination << ": " << result.error().description();
        EXPECT_EQ(result.value(), "pressed " + c.combination);
        EXPECT_EQ(device.whats(), c.events) << c.combination;
    }
}

TEST_F(InputSynthesisTest, CombinationsWithoutAKnownKeyFailAndPostNothing)
{
    struct Case {
        std::string combination;
        int code;
        std::string description;
    };
    const std::vector<Case> cases{
        {"cmd", 1, "no key in cmd"},          {"", 1, "no key in "},
        {"Cmd++", 1, "no key in Cmd++"},      {"ctrl+PgUp", 2, "unknown key 'pgup'"},
        {"shift+ü", 2, "unknown key 'ü'"},
    };
    for (const auto& c : cases) {
        const auto result = press(c.combination);
        ASSERT_FALSE(result) << c.combination;
        EXPECT_EQ(result.error(), Error("twk.input", c.code, c.description));
    }
    EXPECT_TRUE(device.events.empty());
}

TEST_F(InputSynthesisTest, AFailedKeyUpReleasesWhatWasHeld)
{
    device.failKeyUp = true;
    const auto result = press("ctrl+shift+tab");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Error("twk.input", 3, "could not create key event"));
    EXPECT_EQ(device.whats().back(), "release held");
    EXPECT_TRUE(device.held.empty());
}

TEST_F(InputSynthesisTest, NothingIsTypedIntoOurOwnWindow)
{
    device.ownWindowFocused = true;
    pasteboard.content = "mine";
    EXPECT_EQ(press("return").error().code(), 7);
    EXPECT_EQ(test::runTask(loop, input.typeText("hi")).error().code(), 7);
    EXPECT_EQ(test::runTask(loop, input.pasteText("hi")).error().code(), 7);
    EXPECT_TRUE(device.events.empty());
    EXPECT_EQ(pasteboard.content, "mine");
    EXPECT_FALSE(input.restorePending());
}

TEST_F(InputSynthesisTest, NamedApplicationIsBroughtForwardWaitingAtMostSixTenths)
{
    workspace.apps = {{10, "org.gnome.gedit", "Text Editor", true}};
    workspace.activationBringsToFront = false;
    const auto pressed = test::startTask(loop, input.pressKey("cmd+s", "text editor"));
    EXPECT_EQ(workspace.activated, std::vector<int>{10});
    loop.advance(milliseconds(550));
    EXPECT_TRUE(device.events.empty());
    loop.advance(milliseconds(100));
    ASSERT_TRUE(pressed->has_value());
    EXPECT_TRUE(**pressed);
    EXPECT_EQ(device.whats().front(), "key 1 down 0x100000");

    // An application that is not running leaves the keys to whatever is in front.
    device.events.clear();
    EXPECT_TRUE(press("cmd+s", "nonesuch"));
    EXPECT_EQ(workspace.activated.size(), 1u);
    EXPECT_EQ(device.events.size(), 2u);

    // A desktop that cannot list its applications still gets the key.
    workspace.failure = "no window list";
    EXPECT_TRUE(press("cmd+s"));
}

TEST_F(InputSynthesisTest, TypingPacesCharactersAndLendsKeysInBatches)
{
    device.spareKeys = 2;
    // "e" + combining acute is one character; \x01 cannot be made and is skipped.
    const auto typed = test::startTask(loop, input.typeText("aé日\x01" "e\xCC\x81本x"));
    loop.advance(std::chrono::seconds(1));
    ASSERT_TRUE(typed->has_value());
    ASSERT_TRUE(**typed);
    EXPECT_EQ((*typed)->value(), "typed 6 chars");
    EXPECT_EQ(device.whats(), (Strings{"prepare 3", "char a", "char é", "char 日", "ask", "prepare 0", "prepare 3",
                                      "char e\xCC\x81", "char 本", "char x", "ask", "finish"}));
    const auto at = [&](size_t i) { return device.events[i].at; };
    EXPECT_EQ(at(1) - at(0), milliseconds(20)); // the target sees the new keys first
    EXPECT_EQ(at(2) - at(1), milliseconds(6));
    EXPECT_EQ(at(3) - at(2), milliseconds(6));
    // The keys change again only once the target has read the old ones.
    EXPECT_EQ(at(5) - at(4), milliseconds(10));
    EXPECT_EQ(at(11) - at(10), milliseconds(10));
    EXPECT_EQ(device.finished, 1);
}

TEST_F(InputSynthesisTest, TypingWaitsForATargetThatCannotConfirmOnlyABriefMoment)
{
    device.confirmAfter.reset();
    const auto typed = test::startTask(loop, input.typeText("é"));
    loop.advance(milliseconds(20 + 6 + 19));
    EXPECT_FALSE(typed->has_value());
    loop.advance(milliseconds(1));
    EXPECT_TRUE(typed->has_value());

    device.confirmAfter = std::chrono::hours(1); // a target that hangs
    const auto hanging = test::startTask(loop, input.typeText("é"));
    loop.advance(milliseconds(20 + 6 + 1999));
    EXPECT_FALSE(hanging->has_value());
    loop.advance(milliseconds(2));
    EXPECT_TRUE(hanging->has_value());
}

TEST_F(InputSynthesisTest, AbandonedTypingStillGivesTheKeysBack)
{
    {
        test::VirtualMainLoop shortLived;
        InputSynthesis typing{{shortLived, device, pasteboard, workspace, skills, geometry}};
        test::startTask(shortLived, typing.typeText("ünïcødé"));
        shortLived.advance(milliseconds(30));
        EXPECT_EQ(device.finished, 0);
    } // the loop goes with the typing still waiting on it
    EXPECT_EQ(device.finished, 1);
}

TEST_F(InputSynthesisTest, TypingWithoutADisplayFails)
{
    device.hasDisplay = false;
    EXPECT_EQ(test::runTask(loop, input.typeText("x")).error(), Error("twk.input", 4, "no event source"));
}

TEST_F(InputSynthesisTest, PastePutsThePreviousTextBackSevenTenthsLater)
{
    pasteboard.content = "user's text";
    const auto pasted = test::startTask(loop, input.pasteText("Grüße 日本"));
    EXPECT_EQ(pasteboard.content, "Grüße 日本");
    EXPECT_TRUE(device.events.empty());
    loop.advance(milliseconds(60));
    ASSERT_TRUE(pasted->has_value());
    EXPECT_EQ((*pasted)->value(), "pasted 8 chars");
    EXPECT_EQ(device.whats(), (Strings{"key 9 down 0x100000", "key 9 up 0x100000"}));
    loop.advance(milliseconds(639));
    EXPECT_EQ(pasteboard.content, "Grüße 日本");
    EXPECT_TRUE(input.restorePending());
    loop.advance(milliseconds(1));
    EXPECT_EQ(pasteboard.content, "user's text");
    EXPECT_FALSE(input.restorePending());
}

TEST_F(InputSynthesisTest, QuickSecondPasteStillRestoresTheUsersText)
{
    pasteboard.content = "user's text";
    test::startTask(loop, input.pasteText("first"));
    loop.advance(milliseconds(300));
    test::startTask(loop, input.pasteText("second"));
    loop.advance(milliseconds(500));
    EXPECT_EQ(pasteboard.content, "second"); // the first paste's restore no longer runs
    loop.advance(milliseconds(300));
    EXPECT_EQ(pasteboard.content, "user's text");
}

TEST_F(InputSynthesisTest, RestoreLeavesTextCopiedMeanwhileAndEmptiesWhenThereWasNone)
{
    pasteboard.content = "old";
    test::startTask(loop, input.pasteText("pasted"));
    pasteboard.content = "copied by the user";
    loop.advance(seconds(1));
    EXPECT_EQ(pasteboard.content, "copied by the user");

    pasteboard.content.reset();
    test::startTask(loop, input.pasteText("pasted"));
    loop.advance(seconds(1));
    EXPECT_EQ(pasteboard.content, std::nullopt);
}

TEST_F(InputSynthesisTest, FailedPasteReportsItAndKeepsTheClipboard)
{
    pasteboard.content = "old";
    pasteboard.refuseWrites = true;
    EXPECT_EQ(test::runTask(loop, input.pasteText("x")).error().code(), 8);
    EXPECT_TRUE(device.events.empty());
    EXPECT_EQ(pasteboard.content, "old");

    pasteboard.refuseWrites = false;
    device.failKeyUp = true;
    const auto pasted = test::startTask(loop, input.pasteText("x"));
    loop.advance(seconds(1));
    EXPECT_EQ((*pasted)->error().code(), 3);
    EXPECT_EQ(pasteboard.content, "old");
}

TEST_F(InputSynthesisTest, ClicksMapScreenshotPixelsToTheScreen)
{
    geometry.lastBounds = {1440, 0, 1920, 1080};
    geometry.lastImageScale = {2, 2};
    EXPECT_EQ(input.clickAt(100, 50.9, ClickKind::left).value(), "clicked left at (100,50)");
    EXPECT_EQ(device.whats(), (Strings{"left down (1490,25.45) state 1", "left up (1490,25.45) state 1"}));

    device.events.clear();
    geometry = {};
    geometry.lastImageScale = {0, -1}; // not positive: counts as 1
    EXPECT_EQ(input.clickAt(7, 8, ClickKind::doubleClick).value(), "clicked double at (7,8)");
    EXPECT_EQ(device.whats(), (Strings{"left down (7,8) state 2", "left up (7,8) state 2", "left down (7,8) state 2",
                                       "left up (7,8) state 2"}));

    device.events.clear();
    EXPECT_EQ(input.clickAt(1, 2, ClickKind::right).value(), "clicked right at (1,2)");
    EXPECT_EQ(device.whats(), (Strings{"right down (1,2) state 1", "right up (1,2) state 1"}));
}

TEST_F(InputSynthesisTest, AFailedButtonUpIsRetriedAndReported)
{
    device.failButtonUp = true;
    EXPECT_EQ(input.clickAt(1, 1, ClickKind::doubleClick).error(), Error("twk.input", 10, "click event create failed"));
    EXPECT_EQ(device.whats(), (Strings{"left down (1,1) state 2", "left up (1,1) state 2", "left up (1,1) state 2"}));
}

TEST_F(InputSynthesisTest, ScrollValuesAreClampedToWhatCanBePosted)
{
    EXPECT_EQ(input.scroll(5, 0).value(), "scrolled dy=5 dx=0");
    EXPECT_EQ(input.scroll(-3, 4).value(), "scrolled dy=-3 dx=4");
    EXPECT_EQ(input.scroll(int64_t{1} << 40, -(int64_t{1} << 33)).value(), "scrolled dy=1000 dx=-1000");
    EXPECT_EQ(device.whats(), (Strings{"scroll 5 0", "scroll -3 4", "scroll 1000 -1000"}));
    device.failScroll = true;
    EXPECT_EQ(input.scroll(1, 0).error(), Error("twk.input", 6, "scroll event create failed"));
}

TEST(UserCharactersTest, KeepsWhatAReaderSeesAsOneCharacterTogether)
{
    EXPECT_EQ(userCharacters("e\xCC\x81" "a"), (Strings{"e\xCC\x81", "a"}));
    EXPECT_EQ(userCharacters("🇩🇪🇫🇷"), (Strings{"🇩🇪", "🇫🇷"}));
    EXPECT_EQ(userCharacters("👩‍👧x"), (Strings{"👩‍👧", "x"}));
    EXPECT_EQ(userCharacters("a\r\nb\n"), (Strings{"a", "\r\n", "b", "\n"}));
    EXPECT_EQ(userCharacters("𝄞\xFF"), (Strings{"𝄞", "\xEF\xBF\xBD"}));
    EXPECT_EQ(userCharacters("👍🏽"), (Strings{"👍🏽"}));
}

} // namespace
} // namespace twk
