#pragma once

// Sentences spoken by a speech synthesizer, as 24 kHz PCM16 mono (the realtime wire format):
// espeak-ng's rule-based voices, or flite's voices built from recordings of people ("flite:slt").

#include <string>

namespace twk::test {

struct Speaker {
    std::string voice = "en-us"; // an espeak-ng voice, "en-gb+f3", or a flite voice, "flite:awb"
    int wordsPerMinute = 175;
    double noiseRms = 0;         // white noise added under the speech (full scale 1)
};

/// `text` spoken by `speaker`, with half a second of quiet (or noise) before
/// and a second after, so that a voice-activity detector sees it end. Files
/// go in `folder`; throws std::runtime_error when the synthesizer or sox fail.
std::string spokenPcm(const std::string& folder, const std::string& text, const Speaker& speaker = {});

} // namespace twk::test
