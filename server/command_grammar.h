#pragma once

#include "command_vocabulary.h"

#include <optional>
#include <string>

namespace twk::server {

/// The JSGF grammar of every command the vocabulary allows: a rule per
/// offered tool, and the questions the server answers itself.
std::string commandGrammar(const CommandVocabulary& vocabulary);

/// The number 0 to 100 said as words ("forty two", "one hundred"), if it is one.
std::optional<int> spokenNumber(const std::string& words);

} // namespace twk::server
