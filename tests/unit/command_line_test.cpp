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
    EXPECT_NE(usageText().find("tarnwick permissions"), std::string::npos);
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

} // namespace
} // namespace twk
