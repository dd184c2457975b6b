#include "platform/linux/appstream_descriptions.h"

#include <glib.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

namespace twk {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view suffix = ".desktop";

/// Collects one file's first component while GMarkup walks it.
struct Component {
    std::vector<std::string> path; // open elements, outermost first
    bool translated = false;       // the innermost open element has xml:lang
    bool desktop = false;
    std::string id, launchable, text;
    AppStreamDescription description;
    bool done = false;

    bool at(std::initializer_list<const char*> names) const
    {
        if (path.size() != names.size()) return false;
        size_t i = 0;
        for (const char* name : names)
            if (path[i++] != name) return false;
        return true;
    }
};

void onStart(GMarkupParseContext*, const gchar* element, const gchar** names, const gchar** values, gpointer data,
             GError**)
{
    auto& c = *static_cast<Component*>(data);
    c.path.emplace_back(element);
    c.translated = false;
    c.text.clear();
    for (; *names != nullptr; ++names, ++values) {
        if (std::strcmp(*names, "xml:lang") == 0) c.translated = true;
        if (c.path.size() == 1 && std::strcmp(*names, "type") == 0)
            c.desktop = std::strcmp(*values, "desktop") == 0 || std::strcmp(*values, "desktop-application") == 0;
    }
}

void onText(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**)
{
    static_cast<Component*>(data)->text.append(text, length);
}

std::string trimmed(const std::string& text)
{
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

void onEnd(GMarkupParseContext*, const gchar*, gpointer data, GError** error)
{
    auto& c = *static_cast<Component*>(data);
    const std::string text = trimmed(c.text);
    if (!c.translated) {
        if (c.at({"component", "id"})) c.id = text;
        if (c.at({"component", "launchable"}) && c.launchable.empty()) c.launchable = text;
        if (c.at({"component", "summary"})) c.description.summary = text;
        if (c.at({"component", "keywords", "keyword"})) c.description.keywords.push_back(text);
    }
    c.path.pop_back();
    c.translated = false;
    c.text.clear();
    if (c.path.empty()) {
        c.done = true;
        // Nothing after the first component is needed: stop reading.
        g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "done");
    }
}

std::string desktopIdOf(const Component& c)
{
    // The launchable names the desktop file; older files only have the id.
    std::string id = !c.launchable.empty() ? c.launchable : c.id;
    if (id.ends_with(suffix)) id.resize(id.size() - suffix.size());
    return id;
}

std::optional<std::pair<std::string, AppStreamDescription>> readFile(const fs::path& file)
{
    gchar* contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(file.c_str(), &contents, &length, nullptr)) return std::nullopt;
    GMarkupParser parser{onStart, onEnd, onText, nullptr, nullptr};
    Component c;
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, G_MARKUP_PREFIX_ERROR_POSITION, &c, nullptr);
    g_markup_parse_context_parse(context, contents, static_cast<gssize>(length), nullptr);
    g_markup_parse_context_free(context);
    g_free(contents);
    if (!c.done || !c.desktop || desktopIdOf(c).empty()) return std::nullopt;
    return std::pair{desktopIdOf(c), std::move(c.description)};
}

} // namespace

std::vector<fs::path> appStreamFolders()
{
    std::vector<fs::path> bases;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome != nullptr && *dataHome != '\0')
        bases.emplace_back(dataHome);
    else if (home != nullptr)
        bases.push_back(fs::path(home) / ".local/share");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream dirs(dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty()) bases.emplace_back(dir);
    std::vector<fs::path> folders;
    for (const auto& base : bases)
        for (const char* name : {"metainfo", "appdata"}) folders.push_back(base / name);
    return folders;
}

std::map<std::string, AppStreamDescription> readAppStreamDescriptions(const std::vector<fs::path>& folders)
{
    std::map<std::string, AppStreamDescription> descriptions;
    for (const auto& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() != ".xml") continue;
            if (auto found = readFile(it->path())) descriptions.insert(std::move(*found)); // the first stays
        }
    }
    return descriptions;
}

std::shared_ptr<const AppStreamCatalogue::Descriptions> AppStreamCatalogue::current()
{
    const auto folders = appStreamFolders();
    std::vector<fs::file_time_type> stamps;
    for (const auto& folder : folders) {
        std::error_code ec;
        stamps.push_back(fs::last_write_time(folder, ec)); // a missing folder stamps as the minimum
    }
    std::lock_guard lock(mutex_);
    if (!descriptions_ || stamps != stamps_) {
        descriptions_ = std::make_shared<const Descriptions>(readAppStreamDescriptions(folders));
        stamps_ = std::move(stamps);
    }
    return descriptions_;
}

} // namespace twk
