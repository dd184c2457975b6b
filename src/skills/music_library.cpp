#include "skills/music_library.h"

#include "common/text_case.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <vector>

namespace twk {
namespace {

namespace fs = std::filesystem;

bool isAudioFile(const fs::path& path)
{
    static constexpr std::array<std::string_view, 12> extensions = {
        ".mp3", ".flac", ".ogg", ".oga", ".opus", ".m4a", ".aac", ".wav", ".wma", ".aif", ".aiff", ".mka"};
    const std::string ext = lowercased(path.extension().string());
    return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

} // namespace

std::optional<std::string> findMusicFile(const std::string& folder, const std::string& query, size_t maxEntries)
{
    const std::string q = lowercased(query);
    std::vector<fs::path> matches;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    size_t visited = 0;
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (++visited > maxEntries) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || !isAudioFile(it->path())) continue;
        const std::string relative = it->path().lexically_relative(folder).string();
        if (lowercased(relative).find(q) != std::string::npos) matches.push_back(it->path());
    }
    if (matches.empty()) return std::nullopt;
    return std::min_element(matches.begin(), matches.end())->string();
}

} // namespace twk
