#pragma once

#include "command_vocabulary.h"

#include <nlohmann/json.hpp>

#include <string>

namespace twk::server {

/// What a recognized sentence asks for.
struct CommandIntent {
    enum class Kind {
        tool,        // call `tool` with `arguments`
        askTime,     // the server answers
        askDate,
        volumeStep,  // volume up (`step` > 0) or down, relative to a level the engine must know
        unknown,     // nothing this engine does: refuse
    };
    Kind kind = Kind::unknown;
    std::string tool;
    nlohmann::json arguments = nlohmann::json::object();
    int step = 0;
};

/// The intent of `words` (lower-case words as the grammar produces them),
/// with arguments exactly as the tool's parameters want them. A tool the
/// vocabulary does not offer, or an application it does not know, is unknown.
CommandIntent commandIntent(const std::string& words, const CommandVocabulary& vocabulary);

} // namespace twk::server
