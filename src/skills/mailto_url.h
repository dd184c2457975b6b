#pragma once

#include <optional>
#include <string>

namespace twk {

/// A "mailto:" address for a new draft to `to`, with "subject" then "body"
/// in its query, each only when given and not empty. Every character that
/// could end the recipient or a field ("?", "&", "#", "%", line breaks...)
/// is percent-encoded, so no value can add a header of its own.
std::string mailtoUrl(const std::string& to, const std::optional<std::string>& subject,
                      const std::optional<std::string>& body);

} // namespace twk
