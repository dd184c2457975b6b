#include "app/command_line.h"

#include <gtest/gtest.h>

namespace twk {
namespace {

using Kind = Command::Kind;

TEST(CommandLine, NoArgumentsStartsTheAppAndUrlsAreCollectedInOrder)
{
    EXPECT_EQ(parseCommandLine({}).kind, Kind::app);
    const auto cmd = parseCommandLine({"tarnwick://refresh", "--wait-for-instance", "tarnwick://x/refresh"});
    EXPECT_EQ(cmd.kind, Kind::app);
    EXPECT_TRUE(cmd.waitForInstance);
    EXPECT_EQ(cmd.urls, (std::vector<std::string>{"tarnwick://refresh", "tarnwick://x/refresh"}));
}

TEST(CommandLine, HelpVersionAndSubcommands)
{
    EXPECT_EQ(parseCommandLine({"--help"}).kind, Kind::help);
    EXPECT_EQ(parseCommandLine({"tarnwick://x", "-h"}).kind, Kind::help);
    EXPECT_EQ(parseCommandLine({"--version"}).kind, Kind::version);
    EXPECT_EQ(parseCommandLine({"permissions"}).kind, Kind::permissions);
}

TEST(CommandLine, BadInputIsRefusedWithAReason)
{
    const auto option = parseCommandLine({"--verbose"});
    EXPECT_EQ(option.kind, Kind::invalid);
    EXPECT_EQ(option.error, "unknown option '--verbose'");
    EXPECT_EQ(parseCommandLine({"refresh"}).error, "unknown command 'refresh'");
    EXPECT_EQ(parseCommandLine({"tarnwick://a b"}).error, "not a valid URL: 'tarnwick://a b'");
    EXPECT_EQ(parseCommandLine({"permissions", "x"}).kind, Kind::invalid);
    EXPECT_EQ(parseCommandLine({"tarnwick://x", "permissions"}).kind, Kind::invalid);
}

TEST(CommandLine, ToolTakesANameAndOneArgumentTextVerbatim)
{
    const auto plan = parseCommandLine({"tool", "set_plan", R"({"steps":["a"]})"});
    EXPECT_EQ(plan.kind, Kind::tool);
    EXPECT_EQ(plan.toolName, "set_plan");
    EXPECT_EQ(plan.toolArgs, R"({"steps":["a"]})");
    EXPECT_EQ(parseCommandLine({"tool", "list_apps"}).toolArgs, "{}");

    // The argument text belongs to the tool, even when it looks like an option or a URL.
    EXPECT_EQ(parseCommandLine({"tool", "open_url", "--verbose"}).toolArgs, "--verbose");
    EXPECT_EQ(parseCommandLine({"tool", "open_url", "tarnwick://x"}).kind, Kind::tool);
    EXPECT_EQ(parseCommandLine({"tool", "stop", "-h"}).kind, Kind::tool);
    EXPECT_EQ(parseCommandLine({"tool", "--help"}).kind, Kind::help);

    EXPECT_EQ(parseCommandLine({"tool"}).error, "'tool' needs a tool name");
    EXPECT_EQ(parseCommandLine({"tool", "stop", "{}", "{}"}).kind, Kind::invalid);
    EXPECT_EQ(parseCommandLine({"tarnwick://x", "tool"}).kind, Kind::invalid);

    // --local comes before the name; after it, it is the tool's argument text.
    const auto local = parseCommandLine({"tool", "--local", "stop", "{}"});
    EXPECT_TRUE(local.toolLocal);
    EXPECT_EQ(local.toolName, "stop");
    EXPECT_FALSE(parseCommandLine({"tool", "stop", "--local"}).toolLocal);
    EXPECT_FALSE(plan.toolLocal);
    EXPECT_EQ(parseCommandLine({"tool", "--local"}).error, "'tool' needs a tool name");
    EXPECT_EQ(parseCommandLine({"tool", "--local", "stop", "{}", "{}"}).kind, Kind::invalid);
}

TEST(CommandLine, SessionTakesFilesAndADuration)
{
    const auto cmd = parseCommandLine({"session", "--mic-file", "in.wav", "--speaker-file", "out.wav", "--seconds", "2.5"});
    EXPECT_EQ(cmd.kind, Kind::session);
    EXPECT_EQ(cmd.micFile, "in.wav");
    EXPECT_EQ(cmd.speakerFile, "out.wav");
    EXPECT_EQ(cmd.seconds, 2.5);
    EXPECT_EQ(parseCommandLine({"session"}).seconds, 0);

    EXPECT_EQ(parseCommandLine({"session", "--seconds", "0"}).kind, Kind::invalid);
    EXPECT_EQ(parseCommandLine({"session", "--seconds", "5s"}).error,
              "'--seconds' needs a positive number of seconds, not '5s'");
    EXPECT_EQ(parseCommandLine({"session", "--mic-file"}).error, "'--mic-file' needs a value");
    EXPECT_EQ(parseCommandLine({"session", "--loud"}).error, "unknown session option '--loud'");
}

} // namespace
} // namespace twk
