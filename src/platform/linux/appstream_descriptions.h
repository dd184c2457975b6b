#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace twk {

/// What the desktop's software catalogue (AppStream metainfo) says an
/// application is, in its untranslated words.
struct AppStreamDescription {
    /// The one-line summary ("a GTK 2 / GTK 3 algebraic and RPN calculator").
    std::string summary;
    std::vector<std::string> keywords;
};

/// The folders metainfo files live in: "metainfo" and the older "appdata"
/// under $XDG_DATA_HOME, then under each of $XDG_DATA_DIRS.
std::vector<std::filesystem::path> appStreamFolders();

/// The descriptions of the desktop applications in `folders`, by desktop-file
/// id without ".desktop". An earlier folder wins over a later one; files that
/// cannot be read or parsed are skipped.
std::map<std::string, AppStreamDescription> readAppStreamDescriptions(
    const std::vector<std::filesystem::path>& folders);

/// The descriptions of the installed applications, read on first use and
/// again once a metainfo folder changed (a package was installed or
/// removed). Thread-safe.
class AppStreamCatalogue {
public:
    using Descriptions = std::map<std::string, AppStreamDescription>;
    std::shared_ptr<const Descriptions> current();

private:
    std::mutex mutex_;
    std::shared_ptr<const Descriptions> descriptions_;
    std::vector<std::filesystem::file_time_type> stamps_;
};

} // namespace twk
