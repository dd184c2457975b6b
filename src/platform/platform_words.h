#pragma once

// How the program names the platform it was built for, in text the speech
// model reads (tool descriptions, the system prompt). One place, chosen at
// build time, so that each platform's build describes itself.

#include <string_view>

namespace twk::platform_words {

#if defined(__APPLE__)
inline constexpr std::string_view system = "macOS";
inline constexpr std::string_view machine = "Mac";
#elif defined(_WIN32)
inline constexpr std::string_view system = "Windows";
inline constexpr std::string_view machine = "PC";
#elif defined(__linux__)
inline constexpr std::string_view system = "Linux";
inline constexpr std::string_view machine = "Linux computer";
#else
inline constexpr std::string_view system = "desktop";
inline constexpr std::string_view machine = "computer";
#endif

} // namespace twk::platform_words
