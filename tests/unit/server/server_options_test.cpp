#include "server_options.h"

#include <gtest/gtest.h>

namespace twk::server {
namespace {

TEST(ServerOptions, ReadsEveryOptionInBothForms)
{
    const auto parsed = parseCommandLine({"--port=0", "--address", "0.0.0.0", "--data-dir", "/tmp/d", "--scenario=s.json",
                                          "--record", "r.jsonl", "--secret-ttl", "5", "--model", "m"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->port, 0);
    EXPECT_EQ(parsed.options->address, "0.0.0.0");
    EXPECT_EQ(parsed.options->dataDir, "/tmp/d");
    EXPECT_EQ(parsed.options->scenario, "s.json");
    EXPECT_EQ(parsed.options->record, "r.jsonl");
    EXPECT_EQ(parsed.options->secretTtlSeconds, 5);
    EXPECT_EQ(parsed.options->model, "m");

    const auto defaults = parseCommandLine({});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ(defaults.options->port, 8787);
    EXPECT_EQ(defaults.options->address, "127.0.0.1");
    EXPECT_FALSE(defaults.options->scenario);
}

TEST(ServerOptions, HelpAndMistakes)
{
    const auto help = parseCommandLine({"--port", "1", "--help"});
    EXPECT_FALSE(help.options);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.text.find("--scenario FILE"), std::string::npos);
    const auto version = parseCommandLine({"--version", "--port", "x"}); // answered before anything is checked
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.text.starts_with("tarnwick-server ")) << version.text;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "65536"}, {"--port", "80x"}, {"--port"}, {"--secret-ttl", "0"}, {"--verbose"}, {"extra"}, {"--model="}}) {
        const auto parsed = parseCommandLine(args);
        EXPECT_FALSE(parsed.options) << args[0];
        EXPECT_EQ(parsed.exitCode, 2);
        EXPECT_NE(parsed.text.find("--help"), std::string::npos);
    }
}

} // namespace
} // namespace twk::server
