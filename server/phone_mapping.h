#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace twk::server {

/// An English pronunciation written in IPA (as espeak-ng writes it, stress
/// and length marks included) in the recognizer's phone set: "ɡˈælkjʊlˌeɪɾɚ"
/// becomes "G AE L K Y UH L EY T ER". Nothing when a sound has no match.
std::optional<std::string> phonesFromIpa(std::string_view ipa);

} // namespace twk::server
