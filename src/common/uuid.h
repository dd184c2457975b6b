#pragma once

#include <string>

namespace twk {

/// A random (version 4) UUID in its 36-character lower-case form.
std::string makeUuid();

} // namespace twk
