#pragma once

#include <string>

namespace twk::server {

/// Text to speech with espeak-ng's library, as the realtime wire wants it:
/// PCM16 little-endian mono at 24 kHz. The library keeps global state, so
/// there is one synthesizer per process and it is used from one thread.
class SpeechSynthesizer {
public:
    /// The process's synthesizer; throws twk::Error when espeak-ng's data is missing.
    static SpeechSynthesizer& instance();

    /// `text` spoken with `voice` (an espeak-ng voice name, "en-us+f3");
    /// an unknown voice falls back to the default one.
    std::string speak(const std::string& text, const std::string& voice);

    /// How US English says `word`, in IPA; empty when espeak-ng has no answer.
    std::string ipaOf(const std::string& word);

    /// The espeak-ng voice for a client's voice setting: the setting itself
    /// when it names an installed English voice or variant, else a similar
    /// one for the known hosted voice names, else the default.
    std::string voiceFor(const std::string& setting) const;

    SpeechSynthesizer(const SpeechSynthesizer&) = delete;
    SpeechSynthesizer& operator=(const SpeechSynthesizer&) = delete;

private:
    SpeechSynthesizer();
    bool setVoice(const std::string& voice);

    int sampleRate_ = 22050;
    std::string currentVoice_;
};

} // namespace twk::server
