#pragma once

#include <string>
#include <string_view>

namespace twk {

/// `text` with "{system}" replaced by the platform's name and "{machine}" by
/// what its users call the computer (see platform/platform_words.h).
std::string withPlatformWords(std::string_view text);

} // namespace twk
