#include "fakes/fake_host.h"
#include "platform/platform_words.h"
#include "tools/live_context.h"
#include "tools/local_time_text.h"
#include "tools/system_prompt.h"
#include "tools/tool_catalogue.h"

#include <gtest/gtest.h>

#include <regex>

namespace twk {
namespace {

using test::FakeHost;

const char* const closing = "\n\nFor any question the answer to which is in this context or\n"
                            "in your own general knowledge (time, date, day of week, math,\n"
                            "unit conversions, definitions, capital cities, code Qs, the\n"
                            "user's name) \u2014 ANSWER DIRECTLY. Don't call tools. Don't open\n"
                            "anything. Just speak the answer.";

TEST(LiveContext, TheBlockNamesUserMachineDateAndTime)
{
    FakeHost host;
    EXPECT_EQ(liveContext(host), std::string("LIVE CONTEXT (accurate as of session start \u2014 use directly,\n"
                                             "do NOT call any tool for these):\n"
                                             "  \u2022 User: Ada Lovelace\n"
                                             "  \u2022 Machine: Ada's Laptop\n"
                                             "  \u2022 Current date: Wednesday, May 20, 2026\n"
                                             "  \u2022 Current local time: 1:14 PM PDT (America/Los_Angeles)") +
                                     closing);
}

TEST(LiveContext, FallsBackToTheShortNameAndThePlatformsMachine)
{
    FakeHost host;
    host.fullName = "";
    host.machineName = std::nullopt;
    const std::string block = liveContext(host);
    EXPECT_NE(block.find("\n  \u2022 User: ada\n"), std::string::npos) << block;
    EXPECT_NE(block.find("\n  \u2022 Machine: this " + std::string(platform_words::machine) + "\n"), std::string::npos)
        << block;
    host.machineName = "";
    EXPECT_EQ(liveContext(host), block);
}

TEST(LiveContext, SystemNamesInAnotherEncodingStillGiveUtf8)
{
    FakeHost host;
    host.fullName = "Ren\xe9 M\xfcller"; // Latin-1
    const std::string block = liveContext(host);
    EXPECT_NE(block.find("User: Ren\uFFFD M\uFFFDller\n"), std::string::npos);
    EXPECT_NO_THROW((void)nlohmann::json(block).dump());
}

TEST(LocalTimeText, EnglishDateAndTwelveHourClock)
{
    LocalTime t{2024, 2, 29, 4, 0, 5, 0, "CET", 3600};
    EXPECT_EQ(fullDateText(t), "Thursday, February 29, 2024");
    EXPECT_EQ(clockTimeText(t), "12:05 AM CET");
    t.hour = 12;
    EXPECT_EQ(clockTimeText(t), "12:05 PM CET");
    t.hour = 23;
    t.minute = 59;
    EXPECT_EQ(clockTimeText(t), "11:59 PM CET");
    t = {2027, 1, 3, 0, 9, 30, 0, "", 0};
    EXPECT_EQ(fullDateText(t), "Sunday, January 3, 2027");
    EXPECT_EQ(clockTimeText(t), "9:30 AM GMT");
    t.month = 12;
    t.weekday = 6;
    EXPECT_EQ(fullDateText(t), "Saturday, December 3, 2027");
}

TEST(LocalTimeText, ZonesWithoutLetteredAbbreviationsShowTheirOffset)
{
    LocalTime t{2026, 5, 20, 3, 13, 14, 0, "+03", 3 * 3600};
    EXPECT_EQ(clockTimeText(t), "1:14 PM GMT+3");
    t.zoneAbbreviation = "+0530";
    t.utcOffsetSeconds = 5 * 3600 + 30 * 60;
    EXPECT_EQ(clockTimeText(t), "1:14 PM GMT+5:30");
    t.zoneAbbreviation = "-0330";
    t.utcOffsetSeconds = -(3 * 3600 + 30 * 60);
    EXPECT_EQ(clockTimeText(t), "1:14 PM GMT-3:30");
}

TEST(SystemPrompt, LiveContextThenBasePromptThenTheVerbosityLine)
{
    const std::string context = liveContext(FakeHost());
    for (const auto v : allVerbosities) {
        const std::string prompt = systemPrompt(context, v);
        EXPECT_EQ(prompt, context + "\n\n" + std::string(basePrompt()) + "\n" + std::string(verbosityLine(v)));
        EXPECT_TRUE(prompt.starts_with("LIVE CONTEXT (accurate as of session start \u2014 use directly,\n"));
    }
    EXPECT_TRUE(systemPrompt(context, Verbosity::silent).ends_with("\nDo not speak. Take actions and stay quiet."));
    EXPECT_TRUE(
        systemPrompt(context, Verbosity::brief).ends_with("\nReply in at most one short sentence. Skip pleasantries."));
    EXPECT_TRUE(systemPrompt(context, Verbosity::normal).ends_with("\nKeep voice responses to one short sentence."));
    EXPECT_TRUE(
        systemPrompt(context, Verbosity::chatty).ends_with("\nBe conversational and explain what you're doing."));
    // Exactly one blank line around the base prompt's edges.
    const std::string_view base = basePrompt();
    EXPECT_NE(base.front(), '\n');
    EXPECT_NE(base.back(), '\n');
}

TEST(SystemPrompt, SectionsInOrderAndEveryToolNamed)
{
    const std::string base(basePrompt());
    const std::string system(platform_words::system);
    EXPECT_TRUE(base.starts_with("You are tarnwick for " + system + " \u2014 a voice agent that does things on the user's " +
                                 std::string(platform_words::machine) +
                                 ".\nAlways reply in English, even if the user speaks another language.\n"));
    const std::vector<std::string> headings{
        "\u2605\u2605\u2605 VERIFY \u2014 THE MOST IMPORTANT RULE \u2605\u2605\u2605",
        "Never claim you did something you haven't CONFIRMED.",
        "Concrete failure to NEVER repeat:",
        "Never invent success.",
        "PLAN FIRST (for any task with more than one step):",
        "BE QUIET:",
        "DECIDE FIRST: what kind of request is this?",
        "NEVER claim a do_task result you didn't receive \u2014 wait for it.",
        "AUDIENCE AWARENESS:",
        "When in doubt, stay silent.",
        "TOOL PLAYBOOK \u2014 pick the most SPECIFIC tool for the job.",
        "Examples \u2014 ANSWER DIRECTLY (no tools):",
        "Examples of correct tool choice:",
        "Examples \u2014 dedicated tool first, do_task for UI, press_key for one shortcut:",
        "TIMING OF YOUR WORDS \u2014 critical for honesty:",
        "BEHAVIORAL RULES \u2014 SPEAK SPARINGLY:",
    };
    size_t at = 0;
    for (const auto& heading : headings) {
        const size_t found = base.find("\n" + heading + "\n", at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << heading;
        at = found + heading.size();
    }
    for (const char* quoted : {"\"couldn't confirm the recipient \u2014 double-check\"",
                               "message_in_app(\"Slack\",\"Maren\",\"running late\")", "via a localhost WS",
                               "\"reliable Cmd+K flow with recipient verification\"", "\"Done, sent to X.\"",
                               "\"Done \u2014 you're in #general\"", "\"opening\u2026\""})
        EXPECT_NE(base.find(quoted), std::string::npos) << quoted;
    for (const auto& tool : toolCatalogue()) {
        const std::string name = tool["name"];
        EXPECT_TRUE(std::regex_search(base, std::regex("\\b" + name + "\\b"))) << name;
    }
    if (system != "macOS") {
        EXPECT_FALSE(std::regex_search(base, std::regex(R"(macOS|\bMac\b|\{)")));
    }
}

TEST(SystemPrompt, ExamplesKeepTheirOrder)
{
    const std::string base(basePrompt());
    const std::vector<std::string> examples{
        "\"Open Slack\" \u2192 open_app(\"Slack\")",
        "\"Play some music\" \u2192 play_pause_media",
        "\"Switch Slack to the second workspace\" \u2192 press_key(combo: \"cmd+opt+2\", app: \"Slack\")",
        "do_task(\"In System Settings, open Appearance and set the accent color to green\")",
        "\"Turn off my wifi\" \u2192 set_wifi(on: false)   \u2190 no UI",
        "\"Find my r\u00e9sum\u00e9\" \u2192 spotlight_search(\"resume\")",
        "\"Send Orlen a message on Slack saying hi\" \u2192 do_task(\"In Slack, DM Orlen 'hi'\")",
        "\"Stop\" / \"Cancel\" / \"Never mind\" \u2192 stop",
    };
    size_t at = 0;
    for (const auto& example : examples) {
        const size_t found = base.find(example, at);
        ASSERT_NE(found, std::string::npos) << example;
        at = found;
    }
}

} // namespace
} // namespace twk
