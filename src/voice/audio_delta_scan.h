#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace twk::realtime {

enum class AudioDeltaScan {
    notHandled, ///< not a plain audio-delta frame: parse it as a full document
    ignored,    ///< an audio-delta frame without usable audio
    decoded,    ///< the audio is in the output vector
};

/// Reads an audio-delta frame without building a document: the type, the
/// Base64 "delta" decoded straight into `audio`, and a check that the rest is
/// well-formed. Anything it does not fully understand (escapes, non-ASCII,
/// repeated keys, fractions, deep nesting) is left to the full parser, so the
/// outcome always matches it.
AudioDeltaScan scanAudioDelta(std::string_view frame, std::vector<std::uint8_t>& audio);

} // namespace twk::realtime
