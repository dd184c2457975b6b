#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace twk::server {

/// What the recognizer heard in one utterance.
struct Recognition {
    std::string words;  // the grammar's best sentence; empty when none fits at all
    /// How far the sentence's phones are from the phones heard with no grammar:
    /// their edit distance over the sentence's phone count (0 = the same).
    double mismatch = 0;
};

/// Speech recognition with PocketSphinx (US English model) restricted to a
/// JSGF grammar. A second search over free phones runs on the same audio: how
/// far its phones are from the sentence's tells speech the grammar covers from
/// speech it does not, since a grammar search always finds some sentence.
/// Audio is fed as it arrives (24 kHz PCM16 mono, resampled to 16 kHz here)
/// and decoded when the utterance ends, at most its first 30 seconds.
class SpeechRecognizer {
public:
    /// Loads the acoustic model and dictionary; throws twk::Error when missing.
    SpeechRecognizer();
    ~SpeechRecognizer();

    /// Whether the dictionary has a pronunciation for `word`.
    static bool knows(const std::string& word);
    /// Teaches every recognizer of the process how `word` sounds ("G AE L ..."),
    /// for words the dictionary lacks, such as application names.
    static void addPronunciation(const std::string& word, const std::string& phones);
    /// Replaces the grammar; throws twk::Error when it does not load, or
    /// when it holds a word the dictionary does not know.
    void setGrammar(const std::string& jsgf);

    void startUtterance();
    void feed(std::string_view pcm16At24k);
    /// Ends the utterance and returns what was heard.
    Recognition finish();
    bool inUtterance() const;

    SpeechRecognizer(const SpeechRecognizer&) = delete;
    SpeechRecognizer& operator=(const SpeechRecognizer&) = delete;

private:
    void keep(size_t convertedSamples);

    struct State;
    std::unique_ptr<State> s_;
};

/// Edit distance between two phone sequences ("AH B K") over the length of `expected`.
double phoneMismatch(const std::string& expected, const std::string& heard);

/// Where the model lives (Debian's pocketsphinx-en-us), overridable by TWK_SPHINX_MODEL_DIR.
std::string speechModelDirectory();

} // namespace twk::server
