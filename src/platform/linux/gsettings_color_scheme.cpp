#include "platform/linux/gsettings_color_scheme.h"

#include "platform/linux/gobject_ptr.h"
#include "platform/linux/theme_variant.h"

#define G_SETTINGS_ENABLE_BACKEND // to tell a real settings store from GLib's memory stand-in
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <cstring>
#include <memory>

namespace twk {
namespace {

constexpr const char* interfaceSchema = "org.gnome.desktop.interface";

struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};

/// Without a real store GLib keeps settings in memory: the change would be
/// reported done and reach no application.
bool storesSettings()
{
    const GObjectPtr<GSettingsBackend> backend(g_settings_backend_get_default());
    return backend && std::strcmp(G_OBJECT_TYPE_NAME(backend.get()), "GMemorySettingsBackend") != 0 &&
           std::strcmp(G_OBJECT_TYPE_NAME(backend.get()), "GNullSettingsBackend") != 0;
}

} // namespace

std::optional<std::string> setGSettingsColorScheme(bool dark)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    const std::unique_ptr<GSettingsSchema, SchemaUnref> schema(
        source != nullptr ? g_settings_schema_source_lookup(source, interfaceSchema, TRUE) : nullptr);
    if (!schema) return "the desktop's interface settings (gsettings-desktop-schemas) are not installed";
    if (!storesSettings()) return "there is no settings store to keep it in (dconf is not installed)";

    const GObjectPtr<GSettings> settings(g_settings_new(interfaceSchema));
    bool changed = false;
    if (g_settings_schema_has_key(schema.get(), "color-scheme")) {
        if (!g_settings_set_string(settings.get(), "color-scheme", dark ? "prefer-dark" : "default"))
            return "the colour scheme is locked by the administrator";
        changed = true;
    }
    gchar* theme = g_settings_get_string(settings.get(), "gtk-theme");
    const auto variant = themeVariant(theme != nullptr ? theme : "", dark);
    g_free(theme);
    if (variant && g_settings_set_string(settings.get(), "gtk-theme", variant->c_str())) changed = true;
    g_settings_sync();
    if (!changed) return "this desktop's theme has no dark variant to switch to";
    return std::nullopt;
}

} // namespace twk
