#include "app/app_state.h"
#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "fakes/fake_messaging.h"
#include "fakes/fake_websocket_listener.h"
#include "fakes/fake_workspace.h"
#include "fakes/memory_settings.h"
#include "fakes/run_task.h"
#include "fakes/virtual_main_loop.h"
#include "skills/mailto_url.h"
#include "skills/phone_contacts.h"
#include "tools/tool_dispatcher.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace twk {
namespace {

class MessagingSkillsTest : public ::testing::Test {
protected:
    nlohmann::json run(const std::string& name, const nlohmann::json& args)
    {
        return nlohmann::json::parse(test::runTask(loop, tools.run(name, args.dump())).text);
    }

    test::VirtualMainLoop loop;
    test::MemorySettings settings;
    AppState state{settings, loop};
    CancellationToken cancellation;
    test::FakeHost host; // Wednesday 2026-05-20, 13:14
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    test::FakeTextMessages phone;
    test::FakeCalendarStore calendar;
    Skills skills{{.loop = loop,
                   .workspace = workspace,
                   .mediaKeys = mediaKeys,
                   .host = host,
                   .textMessages = phone,
                   .calendar = calendar}};
    WorkerPool workers{1};
    test::FakeWebSocketListener bridgeListener;
    ChromeBridge bridge{loop, bridgeListener, ExtensionOriginPolicy()};
    ToolDispatcher tools{{loop, state, cancellation, host, workspace, skills, workers, bridge}};
};

TEST(MailtoUrl, FieldsAppearOnlyWhenGivenAndNoValueCanAddAHeader)
{
    EXPECT_EQ(mailtoUrl("ada@example.com", std::nullopt, std::nullopt), "mailto:ada@example.com");
    EXPECT_EQ(mailtoUrl("ada@example.com", "", "Hi there"), "mailto:ada@example.com?body=Hi%20there");
    EXPECT_EQ(mailtoUrl("a@x.org,b+tag@y.org", "Lunch?", ""), "mailto:a@x.org,b+tag@y.org?subject=Lunch%3F");
    EXPECT_EQ(mailtoUrl("ada@example.com?bcc=eve@evil.test", "a&cc=eve@evil.test#x", "line 1\r\nBcc: eve 100%"),
              "mailto:ada@example.com%3Fbcc%3Deve@evil.test?subject=a%26cc%3Deve%40evil.test%23x"
              "&body=line%201%0D%0ABcc%3A%20eve%20100%25");
}

TEST_F(MessagingSkillsTest, ComposingOpensADraftInTheMailHandlerAndSaysWhenNoneTakesIt)
{
    EXPECT_EQ(run("compose_email", {{"to", "Orlen"}, {"subject", "Meeting"}, {"body", "At 3?"}})["message"],
              "composed email to Orlen");
    EXPECT_EQ(workspace.opened, std::vector<std::string>{"mailto:Orlen?subject=Meeting&body=At%203%3F"});
    workspace.openAccepted = false;
    const auto refused = run("compose_email", {{"to", "ada@example.com"}});
    EXPECT_EQ(refused["ok"], false);
    EXPECT_EQ(refused["error"], "could not open mail client");
}

TEST_F(MessagingSkillsTest, TextMessagesGoToTheNumberGivenOrToTheOneContactTheNameMeans)
{
    EXPECT_EQ(run("send_imessage", {{"recipient", "Mom"}, {"text", "hi"}})["error"],
              "text message failed: no phone shared its contacts to find Mom in — say the number instead");
    phone.addressBook = {{"Mom", {"+1 555 010 0100"}},
                         {"Maren Holt", {"n/a", "(555) 010-0101"}},
                         {"Maren Vey", {"555 010 0102"}},
                         {"Orlen", {}}};
    EXPECT_EQ(run("send_imessage", {{"recipient", "+1 (555) 010-0199"}, {"text", "I'll be \"late\"; $(id)"}})["message"],
              "sent text message to +1 (555) 010-0199");
    EXPECT_EQ(run("send_imessage", {{"recipient", " mom "}, {"text", "hi"}})["ok"], true);
    EXPECT_EQ(run("send_imessage", {{"recipient", "maren holt"}, {"text", "hi"}})["ok"], true);
    using Sent = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(phone.sent, (Sent{{"+15550100199", "I'll be \"late\"; $(id)"}, {"+15550100100", "hi"}, {"5550100101", "hi"}}));

    EXPECT_EQ(run("send_imessage", {{"recipient", "Maren"}, {"text", "hi"}})["error"],
              "text message failed: Maren could be Maren Holt or Maren Vey — say the full name or the number");
    EXPECT_EQ(run("send_imessage", {{"recipient", "Orlen"}, {"text", "hi"}})["error"],
              "text message failed: Orlen has no phone number");
    for (const std::string recipient : {"Dad", "555; rm -rf ~", "+1+2345", "12", "Mo", ""})
        EXPECT_EQ(run("send_imessage", {{"recipient", recipient}, {"text", "hi"}})["error"],
                  "text message failed: no contact named " + recipient + " among the phone's contacts — say the number instead");
    phone.failure = "no paired phone is reachable";
    EXPECT_EQ(run("send_imessage", {{"recipient", "5550100"}, {"text", "hi"}})["error"],
              "text message failed: no paired phone is reachable");
    EXPECT_EQ(phone.sent.size(), 3u);
}

TEST(PhoneContacts, CardsGiveTheirNameAndNumbersWhateverTheirLayout)
{
    const std::string cards = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Zoë\\, the\r\n  neighbour\r\nTEL;CELL:+49 30 1234\r\n"
                              "item1.TEL:030 5678\r\nEND:VCARD\r\n"
                              "BEGIN:VCARD\nFN:No Number\nEND:VCARD\nBEGIN:VCARD\nTEL:1\nEND:VCARD\n";
    const auto contacts = contactsInVCards(cards);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0].name, "Zoë, the neighbour");
    EXPECT_EQ(contacts[0].numbers, (std::vector<std::string>{"+49 30 1234", "030 5678"}));
}

TEST_F(MessagingSkillsTest, RemindersCarryTheirReadDueTimeAndAnUnreadablePhraseIsNamed)
{
    EXPECT_EQ(run("add_reminder", {{"text", "Call the dentist"}, {"when", "tomorrow 9am"}})["message"],
              "added reminder: Call the dentist");
    EXPECT_EQ(run("add_reminder", {{"text", "Water plants"}, {"when", ""}})["ok"], true);
    ASSERT_EQ(calendar.tasks.size(), 2u);
    EXPECT_EQ(calendar.tasks[0].due, (WallClockTime{2026, 5, 21, 9, 0}));
    EXPECT_EQ(calendar.tasks[1].due, std::nullopt);

    EXPECT_EQ(run("add_reminder", {{"text", "x"}, {"when", "when pigs fly"}})["error"],
              "reminder failed: could not read the date \"when pigs fly\"");
    calendar.failure = "no task list";
    EXPECT_EQ(run("add_reminder", {{"text", "x"}})["error"], "reminder failed: no task list");
    EXPECT_EQ(calendar.tasks.size(), 2u);
}

TEST_F(MessagingSkillsTest, EventsLastAnHourUnlessAWholeNumberOfMinutesIsGiven)
{
    run("add_calendar_event", {{"title", "Standup"}, {"start", "next friday at noon"}});
    run("add_calendar_event", {{"title", "Review"}, {"start", "in 2 hours"}, {"durationMinutes", "45"}});
    run("add_calendar_event", {{"title", "Sync"}, {"start", "3pm"}, {"durationMinutes", "45.5"}});
    ASSERT_EQ(calendar.events.size(), 3u);
    EXPECT_EQ(calendar.events[0].start, (WallClockTime{2026, 5, 22, 12, 0}));
    EXPECT_EQ(calendar.events[0].minutes, 60);
    EXPECT_EQ(calendar.events[1].start, (WallClockTime{2026, 5, 20, 15, 14}));
    EXPECT_EQ(calendar.events[1].minutes, 45);
    EXPECT_EQ(calendar.events[2].minutes, 60);

    EXPECT_EQ(run("add_calendar_event", {{"title", "x"}, {"start", "someday"}})["error"],
              "calendar failed: could not read the date \"someday\"");
    EXPECT_EQ(run("add_calendar_event", {{"title", "x"}, {"start", "3pm"}, {"durationMinutes", -30}})["ok"], false);
    EXPECT_EQ(calendar.events.size(), 3u);
}

} // namespace
} // namespace twk
