#include "capture/debug_screenshots.h"

#include "common/log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

namespace twk {
namespace fs = std::filesystem;

std::string debugScreenshotName(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day date(day);
    const hh_mm_ss time(floor<seconds>(when - day));
    char name[48];
    std::snprintf(name, sizeof name, "%04d-%02u-%02uT%02d-%02d-%02dZ.png", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return name;
}

fs::path defaultDebugScreenshotDir()
{
    fs::path cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/')
        cache = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        cache = fs::path(home) / ".cache";
    else
        return {};
    return cache / "tarnwick" / "screenshots";
}

namespace {

/// A name not yet taken: two captures in one second must not overwrite
/// each other.
fs::path freePath(const fs::path& dir, const std::string& name)
{
    fs::path path = dir / name;
    const std::string stem = path.stem().string();
    for (int n = 2; fs::exists(path); ++n) path = dir / (stem + "-" + std::to_string(n) + ".png");
    return path;
}

} // namespace

fs::path DebugScreenshots::save(const std::string& png, std::chrono::system_clock::time_point when)
{
    const auto failed = [](const std::string& why) {
        logLine("[twk] screenshot save failed: " + why);
        return fs::path();
    };
    if (dir_.empty()) return failed("no cache folder (neither XDG_CACHE_HOME nor HOME is set)");
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (!ec) fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::replace, ec);
    if (ec) return failed(ec.message());

    const fs::path path = freePath(dir_, debugScreenshotName(when));
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(png.data(), static_cast<std::streamsize>(png.size()));
        out.close();
        if (!out) {
            fs::remove(path, ec);
            return failed("could not write " + path.string());
        }
    }
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
    if (ec) {
        fs::remove(path, ec);
        return failed(ec.message());
    }
    logLine("[twk] screenshot saved \u2192 " + path.string());
    prune();
    return path;
}

void DebugScreenshots::prune()
{
    struct Entry {
        fs::path path;
        fs::file_time_type written;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dir_, ec), end; !ec && it != end; it.increment(ec)) {
        // Only files: nothing else belongs here, and a folder is never removed wholesale.
        if (!it->is_regular_file(ec)) continue;
        const auto written = it->last_write_time(ec);
        entries.push_back({it->path(), ec ? fs::file_time_type::min() : written});
    }
    if (entries.size() <= keep) return;
    // Newest first; names carry the time, so they order files written in one tick.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.written != b.written ? a.written > b.written : a.path.filename() > b.path.filename();
    });
    for (size_t i = keep; i < entries.size(); ++i) fs::remove(entries[i].path, ec);
}

} // namespace twk
