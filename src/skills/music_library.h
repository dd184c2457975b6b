#pragma once

#include <optional>
#include <string>

namespace twk {

/// The first audio file under `folder` whose path below it contains `query`
/// (letter case ignored), so artist and album folders match as well as file
/// names. Files are visited in path order; at most `maxEntries` entries are
/// looked at, so a huge or looping tree cannot stall the caller. Unreadable
/// folders are skipped.
std::optional<std::string> findMusicFile(const std::string& folder, const std::string& query, size_t maxEntries = 50000);

} // namespace twk
