#include "fakes/fake_host.h"
#include "tools/live_context.h"
#include "tools/local_time_text.h"
#include "tools/system_prompt.h"
#include "tools/tool_catalogue.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace twk {
namespace {

using test::FakeHost;

TEST(LiveContext, TheBlockNamesUserMachineDateAndTime)
{
    const std::string block = liveContext(FakeHost());
    EXPECT_TRUE(block.starts_with("LIVE CONTEXT (")) << block;
    EXPECT_NE(block.find(":\n  \u2022 User: Ada Lovelace\n"
                         "  \u2022 Machine: Ada's Laptop\n"
                         "  \u2022 Current date: Wednesday, May 20, 2026\n"
                         "  \u2022 Current local time: 1:14 PM PDT (America/Los_Angeles)\n\n"),
              std::string::npos)
        << block;
    EXPECT_NE(block.back(), '\n');
}

TEST(LiveContext, FallsBackToTheShortNameAndThisComputer)
{
    FakeHost host;
    host.fullName = "";
    host.machineName = std::nullopt;
    const std::string block = liveContext(host);
    EXPECT_NE(block.find("\n  \u2022 User: ada\n"), std::string::npos) << block;
    EXPECT_NE(block.find("\n  \u2022 Machine: this computer\n"), std::string::npos) << block;
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
    std::set<std::string_view> lines;
    for (const auto v : allVerbosities) {
        EXPECT_EQ(systemPrompt(context, v),
                  context + "\n\n" + std::string(basePrompt()) + "\n" + std::string(verbosityLine(v)));
        EXPECT_TRUE(lines.insert(verbosityLine(v)).second) << "each verbosity has its own line";
    }
    // Exactly one blank line between the context and the base prompt, one newline before the last line.
    const std::string_view base = basePrompt();
    EXPECT_NE(base.front(), '\n');
    EXPECT_NE(base.back(), '\n');
}

TEST(SystemPrompt, NamesEveryOfferedToolAndNoOther)
{
    const std::string base(basePrompt());
    std::set<std::string> offered;
    for (const auto& tool : toolCatalogue()) {
        const std::string name = tool["name"];
        offered.insert(name);
        EXPECT_TRUE(std::regex_search(base, std::regex("\\b" + name + "\\b"))) << name;
    }
    // A misspelt tool in an example would teach the model a call that fails.
    const std::regex identifier(R"(\b[a-z]+(_[a-z]+)+\b)");
    for (auto it = std::sregex_iterator(base.begin(), base.end(), identifier); it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(offered.contains(it->str())) << it->str();
}

} // namespace
} // namespace twk
