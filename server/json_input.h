#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace twk::server {

/// Deepest nesting of arrays and objects accepted from a client. Copying and
/// printing a parsed document recurse once per level, so an unbounded depth
/// is a stack overflow waiting for a peer to send it.
constexpr int maxJsonDepth = 64;

/// JSON text from outside, parsed; `value` is discarded when it is not JSON
/// or nests deeper than `maxDepth`, and `error` then says which.
struct JsonInput {
    nlohmann::json value;
    std::string error;
    bool ok() const { return !value.is_discarded(); }
};

/// Every parse of outside input goes through here: the depth is checked by
/// a linear scan before the parser (and anything after it) sees the text.
JsonInput parseJsonInput(std::string_view text, int maxDepth = maxJsonDepth);

/// Whether `text` nests arrays/objects deeper than `maxDepth` (strings are skipped).
bool nestsDeeperThan(std::string_view text, int maxDepth);

} // namespace twk::server
