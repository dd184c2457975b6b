#include "platform/linux/eds_calendar_store.h"
#include "platform/linux/gobject_ptr.h"
#include "platform/linux/linux_host.h"
#include "skills/skills.h"

#include "fakes/fake_media_keys.h"
#include "fakes/fake_workspace.h"
#include "fakes/virtual_main_loop.h"

#include <gtest/gtest.h>
#include <libecal/libecal.h>
#include <nlohmann/json.hpp>

#include <ctime>
#include <memory>
#include <vector>

namespace twk {
namespace {

struct Item {
    std::string summary;
    time_t start = 0; // due date for tasks
    time_t end = 0;
};

GObjectPtr<ESourceRegistry> registry()
{
    GObjectPtr<ESourceRegistry> r(e_source_registry_new_sync(nullptr, nullptr));
    EXPECT_TRUE(r) << "the harness's session bus runs no Evolution Data Server";
    return r;
}

/// Everything saved in `source`, read through the store's own client.
std::vector<Item> itemsIn(ESource* source, ECalClientSourceType type)
{
    GObjectPtr<EClient> client(e_cal_client_connect_sync(source, type, static_cast<guint32>(-1), nullptr, nullptr));
    if (!client) return {};
    GSList* components = nullptr;
    e_cal_client_get_object_list_as_comps_sync(E_CAL_CLIENT(client.get()), "#t", &components, nullptr, nullptr);
    std::vector<Item> items;
    for (GSList* c = components; c != nullptr; c = c->next) {
        auto* component = E_CAL_COMPONENT(c->data);
        ICalComponent* ical = e_cal_component_get_icalcomponent(component);
        Item item{i_cal_component_get_summary(ical)};
        const auto timeOf = [](ICalTime* t) {
            const time_t at = t != nullptr ? i_cal_time_as_timet(t) : 0;
            if (t != nullptr) g_object_unref(t);
            return at;
        };
        item.start = timeOf(type == E_CAL_CLIENT_SOURCE_TYPE_TASKS ? i_cal_component_get_due(ical)
                                                                  : i_cal_component_get_dtstart(ical));
        if (type == E_CAL_CLIENT_SOURCE_TYPE_EVENTS) item.end = timeOf(i_cal_component_get_dtend(ical));
        items.push_back(item);
    }
    e_client_util_free_object_slist(components);
    return items;
}

time_t localMoment(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class EdsCalendarStoreTest : public ::testing::Test {
protected:
    test::VirtualMainLoop loop;
    test::FakeWorkspace workspace;
    test::FakeMediaKeys mediaKeys;
    LinuxHost host;
    EdsCalendarStore store;
    Skills skills{{.loop = loop, .workspace = workspace, .mediaKeys = mediaKeys, .host = host, .calendar = store}};
};

TEST_F(EdsCalendarStoreTest, RemindersLandInTheDefaultTaskListWithTheirDueTime)
{
    const auto r = registry();
    ASSERT_TRUE(r);
    const std::string hostile = "Call Zoë; bring \"docs\"\nEND:VTODO\nBEGIN:VEVENT, $(id)";
    EXPECT_EQ(nlohmann::json::parse(skills.addReminder(hostile, "december 24th 2030 at 5:30pm"))["ok"], true);
    EXPECT_EQ(nlohmann::json::parse(skills.addReminder("Water plants", std::nullopt))["message"],
              "added reminder: Water plants");

    GObjectPtr<ESource> tasks(e_source_registry_ref_default_task_list(r.get()));
    const auto items = itemsIn(tasks.get(), E_CAL_CLIENT_SOURCE_TYPE_TASKS);
    ASSERT_EQ(items.size(), 2u);
    const bool hostileFirst = items[0].summary == hostile;
    const Item& dated = items[hostileFirst ? 0 : 1];
    const Item& undated = items[hostileFirst ? 1 : 0];
    EXPECT_EQ(dated.summary, hostile);
    EXPECT_EQ(dated.start, localMoment(2030, 12, 24, 17, 30));
    EXPECT_EQ(undated.summary, "Water plants");
    EXPECT_EQ(undated.start, 0);
}

TEST_F(EdsCalendarStoreTest, EventsGoToTheCalendarNamedHomeWhenThereIsOneElseToTheDefault)
{
    const auto r = registry();
    ASSERT_TRUE(r);
    EXPECT_EQ(skills.addCalendarEvent("Planning", "2030-03-04 09:15", 45), R"({"ok":true,"message":"added event: Planning"})");
    GObjectPtr<ESource> personal(e_source_registry_ref_default_calendar(r.get()));
    auto items = itemsIn(personal.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].summary, "Planning");
    EXPECT_EQ(items[0].start, localMoment(2030, 3, 4, 9, 15));
    EXPECT_EQ(items[0].end - items[0].start, 45 * 60);

    // A calendar the user named "Home", stored on this computer.
    GObjectPtr<ESource> home(e_source_new(nullptr, nullptr, nullptr));
    e_source_set_display_name(home.get(), "Home");
    e_source_set_parent(home.get(), "local-stub");
    e_source_backend_set_backend_name(E_SOURCE_BACKEND(e_source_get_extension(home.get(), E_SOURCE_EXTENSION_CALENDAR)),
                                      "local");
    GError* error = nullptr;
    ASSERT_TRUE(e_source_registry_commit_source_sync(r.get(), home.get(), nullptr, &error))
        << (error ? error->message : "");
    // The registry announces the new calendar shortly after saving it, and the
    // calendar service, a separate process, learns of it a little later still.
    GObjectPtr<ESource> listed;
    GObjectPtr<EClient> opened;
    for (int i = 0; i < 100 && !opened; ++i) {
        g_main_context_iteration(nullptr, FALSE);
        if (!listed) listed.reset(e_source_registry_ref_source(r.get(), e_source_get_uid(home.get())));
        if (listed)
            opened.reset(e_cal_client_connect_sync(listed.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS,
                                                   static_cast<guint32>(-1), nullptr, nullptr));
        if (!opened) g_usleep(50000);
    }
    ASSERT_TRUE(opened) << "the calendar service never opened the new calendar";

    EXPECT_EQ(skills.addCalendarEvent("Dinner", "2030-03-04 19:00", std::nullopt), R"({"ok":true,"message":"added event: Dinner"})");
    items = itemsIn(listed.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].summary, "Dinner");
    EXPECT_EQ(items[0].end - items[0].start, 60 * 60);
    EXPECT_EQ(itemsIn(personal.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS).size(), 1u);
}

} // namespace
} // namespace twk
