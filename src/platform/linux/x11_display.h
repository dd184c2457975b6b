#pragma once

#include <optional>
#include <string>

namespace twk {

/// Why the X display cannot be used, or nullopt when a connection works.
std::optional<std::string> x11DisplayProblem();

/// Whether a pixel of the root window can be read on the current display.
bool x11CanReadScreen();

} // namespace twk
