#include "common/error.h"
#include "server_config.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <map>

#include <sys/stat.h>

namespace twk::server {
namespace {

class ServerConfigTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text, mode_t mode = 0600)
    {
        const std::string path = dir_.path().toStdString() + "/" + name;
        std::ofstream(path) << text;
        ::chmod(path.c_str(), mode);
        return path;
    }
    ParsedCommandLine load(const std::vector<std::string>& args) const
    {
        return loadServerOptions(args, [this](const std::string& name) -> std::optional<std::string> {
            const auto it = env_.find(name);
            return it == env_.end() ? std::nullopt : std::optional(it->second);
        });
    }

    QTemporaryDir dir_;
    std::map<std::string, std::string> env_;
};

TEST_F(ServerConfigTest, TheCommandLineOverridesTheEnvironmentWhichOverridesTheFile)
{
    const std::string config = write("server.conf", "# a comment\nport = 9000\nquota-minutes = 30  # half an hour\n"
                                                    "provider-url = https://file.example\nallow-user = 0B9D3C1E-5A7F-4E2D-8C6B-1F2E3D4C5B6A\n");
    env_["TARNWICK_PROVIDER_URL"] = "https://env.example/";
    const auto loaded = load({"--config", config, "--quota-minutes", "0", "--allow-user", "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c"});
    ASSERT_TRUE(loaded.options) << loaded.text;
    EXPECT_EQ(loaded.options->port, 9000);
    EXPECT_EQ(loaded.options->quotaMinutes, 0);
    EXPECT_EQ(loaded.options->providerUrl, "https://env.example");
    EXPECT_EQ(loaded.options->allowedUsers, (std::vector<std::string>{"0b9d3c1e-5a7f-4e2d-8c6b-1f2e3d4c5b6a",
                                                                      "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c"}));
    EXPECT_FALSE(loaded.options->upstream());
    EXPECT_EQ(loaded.options->modelName(), "tarnwick-local");

    // The default file is read when present.
    env_["XDG_CONFIG_HOME"] = dir_.path().toStdString();
    std::filesystem::create_directories(dir_.path().toStdString() + "/tarnwick");
    write("tarnwick/server.conf", "plan = team\n");
    EXPECT_EQ(load({}).options->plan, "team");
}

TEST_F(ServerConfigTest, MistakesNameTheirFileAndLine)
{
    for (const auto& [text, says] : std::vector<std::pair<std::string, std::string>>{
             {"port = 9000\nport 9001\n", "line 2: expected name = value"},
             {"quota-minutes = -1\n", "line 1: --quota-minutes"},
             {"provider-key = sk-secret-in-a-file\n", "never read from the command line or the configuration file"},
             {"config = other.conf\n", "cannot name another one"},
         }) {
        const auto loaded = load({"--config", write("bad.conf", text)});
        EXPECT_FALSE(loaded.options) << text;
        EXPECT_EQ(loaded.exitCode, 2);
        EXPECT_NE(loaded.text.find(says), std::string::npos) << loaded.text;
        EXPECT_EQ(loaded.text.find("sk-secret"), std::string::npos) << "a key must not be echoed";
    }
    EXPECT_NE(load({"--config", dir_.path().toStdString() + "/missing.conf"}).text.find("cannot read"), std::string::npos);
}

TEST_F(ServerConfigTest, TheKeyComesFromTheEnvironmentOrAnOwnerOnlyFile)
{
    const std::string file = write("key", "  sk-from-file\n");
    env_["TARNWICK_PROVIDER_KEY_FILE"] = file;
    auto loaded = load({});
    ASSERT_TRUE(loaded.options) << loaded.text;
    EXPECT_EQ(loaded.options->providerKey, "sk-from-file");
    EXPECT_EQ(loaded.options->modelName(), "gpt-realtime");
    env_["TARNWICK_PROVIDER_API_KEY"] = "sk-from-env";
    EXPECT_EQ(load({}).options->providerKey, "sk-from-env");

    for (const mode_t mode : {mode_t(0640), mode_t(0604), mode_t(0660)}) {
        ::chmod(file.c_str(), mode);
        try {
            readPrivateKeyFile(file);
            ADD_FAILURE() << "accepted mode " << mode;
        } catch (const Error& e) {
            EXPECT_NE(e.description().find("may be read by other users"), std::string::npos) << e.description();
            EXPECT_EQ(e.description().find("sk-from-file"), std::string::npos);
        }
    }
    ::chmod(file.c_str(), 0400);
    EXPECT_EQ(readPrivateKeyFile(file), "sk-from-file");
    EXPECT_THROW(readPrivateKeyFile(write("empty", "\n")), Error);
    EXPECT_THROW(readPrivateKeyFile(write("two", "sk-a\nsk-b\n")), Error);
    EXPECT_THROW(readPrivateKeyFile(dir_.path().toStdString()), Error); // a folder

    env_["TARNWICK_PROVIDER_API_KEY"] = "sk-x";
    EXPECT_FALSE(load({"--scenario", "s.json"}).options) << "a scenario and a provider cannot both answer";
}

TEST_F(ServerConfigTest, AnAgentModelNeedsItsOwnKeyUnlessItIsAServerOfOnesOwn)
{
    EXPECT_FALSE(load({}).options->agentProvider) << "the local planner by default";
    const auto keyless = load({"--agent-provider", "anthropic"});
    EXPECT_FALSE(keyless.options);
    EXPECT_NE(keyless.text.find("TARNWICK_AGENT_API_KEY"), std::string::npos) << keyless.text;
    EXPECT_FALSE(load({"--agent-key", "sk-visible-to-ps"}).options);

    const auto local = load({"--agent-provider", "openai", "--agent-url", "http://127.0.0.1:8080/"});
    ASSERT_TRUE(local.options) << local.text;
    EXPECT_EQ(local.options->agentBaseUrl(), "http://127.0.0.1:8080");

    env_["TARNWICK_AGENT_KEY_FILE"] = write("agent-key", "sk-agent\n");
    const auto hosted = load({"--agent-provider", "anthropic", "--agent-timeout", "90"});
    ASSERT_TRUE(hosted.options) << hosted.text;
    EXPECT_EQ(hosted.options->agentKey, "sk-agent");
    EXPECT_EQ(hosted.options->agentBaseUrl(), "https://api.anthropic.com");
    EXPECT_EQ(hosted.options->agentTimeoutSeconds, 90);
    EXPECT_TRUE(hosted.options->providerKey.empty()) << "the realtime provider keeps its own key";
    EXPECT_FALSE(load({"--agent-provider", "gemini"}).options);
}

} // namespace
} // namespace twk::server
