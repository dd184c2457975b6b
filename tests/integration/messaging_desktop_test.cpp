#include "platform/linux/kde_connect_text_messages.h"
#include "platform/linux/linux_workspace.h"
#include "skills/skills.h"

#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/virtual_main_loop.h"
#include "integration/process_helpers.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace twk {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class MessagingDesktopTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    LinuxWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    KdeConnectTextMessages phone{2s};
    Skills skills{{.loop = loop, .workspace = workspace, .mediaKeys = mediaKeys, .host = host, .textMessages = phone}};
};

TEST_F(MessagingDesktopTest, TheDefaultMailHandlerGetsTheDraftAsOneArgumentWhateverTheFieldsHold)
{
    const fs::path opened = fs::path(std::getenv("HOME")) / "mailto";
    writeFile(fs::path(std::getenv("XDG_DATA_HOME")) / "applications/twk-mail.desktop",
              "[Desktop Entry]\nType=Application\nName=Mail Recorder\nNoDisplay=true\n"
              "MimeType=x-scheme-handler/mailto;\nExec=" TWK_FIXTURES_DIR "/record_argument.sh " +
                  opened.string() + " %u\n");
    writeFile(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list",
              "[Default Applications]\nx-scheme-handler/mailto=twk-mail.desktop\n");

    const auto reply = nlohmann::json::parse(
        skills.composeEmail("ada@example.com", "Q3 \"numbers\" & $(touch pwned)", "Hi,\nsee `id`; bcc: eve@evil.test"));
    EXPECT_EQ(reply["message"], "composed email to ada@example.com") << reply;
    for (int i = 0; i < 500 && !fs::exists(opened); ++i) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(readFile(opened), "mailto:ada@example.com?subject=Q3%20%22numbers%22%20%26%20%24%28touch%20pwned%29"
                                "&body=Hi%2C%0Asee%20%60id%60%3B%20bcc%3A%20eve%40evil.test");
    EXPECT_FALSE(fs::exists(fs::path(std::getenv("HOME")) / "pwned"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));

    fs::remove(fs::path(std::getenv("XDG_CONFIG_HOME")) / "mimeapps.list");
    fs::remove(fs::path(std::getenv("XDG_DATA_HOME")) / "applications/twk-mail.desktop");
    EXPECT_EQ(skills.composeEmail("ada@example.com", std::nullopt, std::nullopt),
              R"({"ok":false,"error":"could not open mail client"})");
}

TEST_F(MessagingDesktopTest, TextMessagesReachThePairedPhoneThroughKdeConnect)
{
    EXPECT_EQ(nlohmann::json::parse(skills.sendIMessage("+1 555 010 0199", "hi"))["error"],
              "text message failed: KDE Connect is not running — install it and pair your phone with it");
    {
        ChildProcess daemon("/usr/bin/python3", {TWK_FIXTURES_DIR "/fake_kde_connect.py"});
        ASSERT_TRUE(daemon.waitForOutput("ready"));
        const std::string text = "On my way \"soon\" — 5' $(id)\n✓";
        EXPECT_EQ(skills.sendIMessage("+1 555 010 0199", text), R"({"ok":true,"message":"sent text message to +1 555 010 0199"})");
        ASSERT_TRUE(daemon.waitForOutput("}\n"));
        const auto sent = nlohmann::json::parse(daemon.output().substr(daemon.output().find('{')));
        EXPECT_EQ(sent["addresses"], nlohmann::json::array({"+15550100199"}));
        EXPECT_EQ(sent["text"], text);
        EXPECT_EQ(sent["attachments"], 0);

        // A name is looked up in the address book the phone shared.
        writeFile(fs::path(std::getenv("XDG_DATA_HOME")) / "kpeoplevcard/kdeconnect-phone1/1.vcf",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Mom\r\nTEL;CELL:+44 20 7946 0000\r\nEND:VCARD\r\n");
        EXPECT_EQ(skills.sendIMessage("mom", "hi"), R"({"ok":true,"message":"sent text message to mom"})");
        ASSERT_TRUE(daemon.waitForOutput("+442079460000"));
    }
    struct Case {
        std::string variable;
        std::string error;
    };
    for (const auto& c : {Case{"PAIRED", "text message failed: no phone paired with KDE Connect is reachable"},
                          Case{"SMS", "text message failed: the phone paired with KDE Connect does not offer text "
                                      "messages — turn on its SMS plugin"}}) {
        ChildProcess daemon("/usr/bin/python3", {TWK_FIXTURES_DIR "/fake_kde_connect.py"}, {{c.variable, "0"}});
        ASSERT_TRUE(daemon.waitForOutput("ready"));
        EXPECT_EQ(nlohmann::json::parse(skills.sendIMessage("5550100", "hi"))["error"], c.error);
        EXPECT_EQ(daemon.output(), "ready\n");
    }
}

} // namespace
} // namespace twk
