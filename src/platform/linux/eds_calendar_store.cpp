#include "platform/linux/eds_calendar_store.h"

#include "platform/linux/gobject_ptr.h"

#include <libecal/libecal.h>

#include <ctime>
#include <memory>

namespace twk {
namespace {

/// Waiting for a calendar whose data lives on a server to come online. A
/// calendar on this computer is not waited for: it never reports itself
/// connected, so the whole wait would pass on every item.
constexpr guint32 remoteConnectSeconds = 15;
/// The client library's "do not wait" (0 waits without end).
constexpr guint32 noWait = static_cast<guint32>(-1);
/// The calendar an event goes to when the user has one by this name.
constexpr const char* preferredCalendar = "Home";

/// Owns a GError and words it for the user.
class Failure {
public:
    ~Failure() { g_clear_error(&error_); }
    GError** out() { return &error_; }
    std::string text(const std::string& what) const
    {
        return what + (error_ != nullptr ? std::string(": ") + error_->message : std::string());
    }

private:
    GError* error_ = nullptr;
};

/// The moment a wall-clock time names in the computer's time zone, in UTC.
ICalTime* utcTime(const WallClockTime& at, long long laterMinutes)
{
    std::tm broken{};
    broken.tm_year = at.year - 1900;
    broken.tm_mon = at.month - 1;
    broken.tm_mday = at.day;
    broken.tm_hour = at.hour;
    broken.tm_min = static_cast<int>(at.minute + laterMinutes);
    broken.tm_isdst = -1; // summer time as it is on that day
    return i_cal_time_new_from_timet_with_zone(std::mktime(&broken), FALSE, i_cal_timezone_get_utc_timezone());
}

GObjectPtr<ESourceRegistry> openRegistry(std::string& problem)
{
    Failure failure;
    GObjectPtr<ESourceRegistry> registry(e_source_registry_new_sync(nullptr, failure.out()));
    if (!registry)
        problem = failure.text("the calendar service (Evolution Data Server) is not running or did not answer");
    return registry;
}

/// The enabled calendar named "Home", else the user's default calendar.
GObjectPtr<ESource> eventCalendar(ESourceRegistry* registry)
{
    GList* sources = e_source_registry_list_enabled(registry, E_SOURCE_EXTENSION_CALENDAR);
    ESource* chosen = nullptr;
    for (GList* s = sources; s != nullptr && chosen == nullptr; s = s->next)
        if (g_strcmp0(e_source_get_display_name(E_SOURCE(s->data)), preferredCalendar) == 0)
            chosen = E_SOURCE(g_object_ref(s->data));
    g_list_free_full(sources, g_object_unref);
    if (chosen == nullptr) chosen = e_source_registry_ref_default_calendar(registry);
    return GObjectPtr<ESource>(chosen);
}

/// Saves `component` in `source`; nothing when saved, else why not.
std::optional<std::string> save(ESource* source, ECalClientSourceType type, ICalComponent* component)
{
    if (source == nullptr) return "there is no calendar to add it to";
    const std::string name = e_source_get_display_name(source);
    const char* extension =
        type == E_CAL_CLIENT_SOURCE_TYPE_TASKS ? E_SOURCE_EXTENSION_TASK_LIST : E_SOURCE_EXTENSION_CALENDAR;
    const bool local = e_source_has_extension(source, extension) &&
                       g_strcmp0(e_source_backend_get_backend_name(E_SOURCE_BACKEND(e_source_get_extension(source, extension))),
                                 "local") == 0;
    Failure connecting;
    GObjectPtr<EClient> client(
        e_cal_client_connect_sync(source, type, local ? noWait : remoteConnectSeconds, nullptr, connecting.out()));
    if (!client) return connecting.text("could not open \"" + name + "\"");
    gchar* uid = nullptr;
    Failure creating;
    const bool saved = e_cal_client_create_object_sync(E_CAL_CLIENT(client.get()), component, E_CAL_OPERATION_FLAG_NONE,
                                                       &uid, nullptr, creating.out());
    g_free(uid);
    if (!saved) return creating.text("\"" + name + "\" did not save it");
    return std::nullopt;
}

/// A new component with a fresh identifier, its time stamp and `summary`.
GObjectPtr<ICalComponent> newComponent(ICalComponentKind kind, const std::string& summary)
{
    GObjectPtr<ICalComponent> component(i_cal_component_new(kind));
    gchar* uid = e_util_generate_uid();
    i_cal_component_set_uid(component.get(), uid);
    g_free(uid);
    GObjectPtr<ICalTime> now(i_cal_time_new_current_with_zone(i_cal_timezone_get_utc_timezone()));
    i_cal_component_set_dtstamp(component.get(), now.get());
    i_cal_component_set_summary(component.get(), summary.c_str());
    return component;
}

} // namespace

std::optional<std::string> EdsCalendarStore::addTask(const std::string& summary, const std::optional<WallClockTime>& due)
{
    std::string problem;
    const auto registry = openRegistry(problem);
    if (!registry) return problem;
    auto task = newComponent(I_CAL_VTODO_COMPONENT, summary);
    if (due) {
        GObjectPtr<ICalTime> at(utcTime(*due, 0));
        i_cal_component_set_due(task.get(), at.get());
    }
    GObjectPtr<ESource> list(e_source_registry_ref_default_task_list(registry.get()));
    return save(list.get(), E_CAL_CLIENT_SOURCE_TYPE_TASKS, task.get());
}

std::optional<std::string> EdsCalendarStore::addEvent(const std::string& summary, const WallClockTime& start,
                                                      long long minutes)
{
    std::string problem;
    const auto registry = openRegistry(problem);
    if (!registry) return problem;
    auto event = newComponent(I_CAL_VEVENT_COMPONENT, summary);
    GObjectPtr<ICalTime> begins(utcTime(start, 0));
    GObjectPtr<ICalTime> ends(utcTime(start, minutes));
    i_cal_component_set_dtstart(event.get(), begins.get());
    i_cal_component_set_dtend(event.get(), ends.get());
    const auto calendar = eventCalendar(registry.get());
    return save(calendar.get(), E_CAL_CLIENT_SOURCE_TYPE_EVENTS, event.get());
}

} // namespace twk
