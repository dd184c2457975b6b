#pragma once

#include "platform/workspace.h"

#include <optional>
#include <string_view>
#include <vector>

namespace twk {

// Applications often carry brand names (Galculator, Mousepad) while people
// ask for what they are ("the calculator"): these find an installed
// application by its description instead of its name. `q` is lower-cased;
// a blank one finds nothing; within a step the earlier application wins.

/// Whether `text` holds `words` as whole words, letter case ignored:
/// "A simple text editor" holds "text editor" but not "edit".
bool holdsWords(std::string_view text, std::string_view words);

/// The first application whose generic name is `q`.
std::optional<InstalledApplication> firstOfKind(const std::vector<InstalledApplication>& apps, std::string_view q);

/// The first application `q` describes, trying each step over the whole list
/// before the next: a generic name holding `q`; keywords holding every word
/// of `q`; a summary holding `q`.
std::optional<InstalledApplication> firstDescribedAs(const std::vector<InstalledApplication>& apps, std::string_view q);

} // namespace twk
