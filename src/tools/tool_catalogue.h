#pragma once

#include <nlohmann/json.hpp>

namespace twk {

/// The function tools offered to the speech model, in the order it is shown
/// them: an array of {"type": "function", "name", "description",
/// "parameters": JSON Schema object}. Built once; never changes.
const nlohmann::json& toolCatalogue();

} // namespace twk
