#include "platform/linux/desktop_entries.h"

#include "platform/linux/gobject_ptr.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace twk {
namespace {

constexpr std::string_view suffix = ".desktop";

std::string text(const char* s)
{
    return s != nullptr ? s : "";
}

std::vector<std::string> fixedArguments(const char* commandLine)
{
    std::vector<std::string> result;
    gchar** argv = nullptr;
    if (commandLine == nullptr || !g_shell_parse_argv(commandLine, nullptr, &argv, nullptr)) return result;
    for (gchar** arg = argv + 1; *arg != nullptr; ++arg)
        if (std::string_view(*arg).find('%') == std::string_view::npos) result.emplace_back(*arg);
    g_strfreev(argv);
    return result;
}

DesktopEntry describe(GDesktopAppInfo* info)
{
    GAppInfo* app = G_APP_INFO(info);
    DesktopEntry entry;
    entry.id = text(g_app_info_get_id(app));
    if (entry.id.ends_with(suffix)) entry.id.resize(entry.id.size() - suffix.size());
    entry.name = text(g_app_info_get_name(app));
    entry.genericName = text(g_desktop_app_info_get_generic_name(info));
    if (const char* const* keywords = g_desktop_app_info_get_keywords(info))
        for (; *keywords != nullptr; ++keywords) entry.keywords.emplace_back(*keywords);
    entry.filename = text(g_desktop_app_info_get_filename(info));
    entry.startupWMClass = text(g_desktop_app_info_get_startup_wm_class(info));
    entry.executable = text(g_app_info_get_executable(app));
    entry.fixedArguments = fixedArguments(g_app_info_get_commandline(app));
    entry.shown = g_app_info_should_show(app) != FALSE;
    return entry;
}

} // namespace

std::string desktopFileId(const std::string& id)
{
    return id.ends_with(suffix) ? id : id + std::string(suffix);
}

std::vector<DesktopEntry> installedDesktopEntries()
{
    std::vector<DesktopEntry> entries;
    GList* all = g_app_info_get_all();
    for (GList* item = all; item != nullptr; item = item->next)
        if (G_IS_DESKTOP_APP_INFO(item->data)) entries.push_back(describe(G_DESKTOP_APP_INFO(item->data)));
    g_list_free_full(all, g_object_unref);
    return entries;
}

std::optional<DesktopEntry> desktopEntryWithId(const std::string& id)
{
    if (id.empty() || id.find('\0') != std::string::npos) return std::nullopt;
    const GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new(desktopFileId(id).c_str()));
    if (!info) return std::nullopt;
    return describe(info.get());
}

} // namespace twk
