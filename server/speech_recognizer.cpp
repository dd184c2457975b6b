#include "speech_recognizer.h"

#include "common/error.h"

#include <fsg_model.h>
#include <jsgf.h>
#include <pocketsphinx.h>
#include <soxr.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace twk::server {
namespace {

constexpr const char* grammarSearch = "commands";
constexpr const char* phoneSearch = "phones";
// Commands are short: a longer utterance is cut, which also bounds its memory.
constexpr size_t maxUtteranceSamples = 16000 * 30;

struct DecoderDeleter {
    void operator()(ps_decoder_t* ps) const { ps_free(ps); }
};
using Decoder = std::unique_ptr<ps_decoder_t, DecoderDeleter>;

/// The model's pronouncing dictionary, read once per process: each decoder
/// is then given only the words of its grammar, which makes it quick to load
/// and small (the whole dictionary has 130,000 words).
std::unordered_map<std::string, std::vector<std::string>>& pronunciations()
{
    static std::unordered_map<std::string, std::vector<std::string>> words;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        std::ifstream in(speechModelDirectory() + "/cmudict-en-us.dict");
        for (std::string line; std::getline(in, line);) {
            const auto space = line.find(' ');
            if (space == std::string::npos || space == 0) continue;
            std::string word = line.substr(0, space);
            if (const auto variant = word.find('('); variant != std::string::npos) word.resize(variant);
            words[word].push_back(line.substr(space + 1));
        }
    });
    return words;
}

/// The words of a JSGF grammar's rules (lower-case tokens outside rule names).
std::set<std::string> grammarWords(const std::string& jsgf)
{
    std::set<std::string> words;
    static const std::regex token("<[^>]*>|[a-z']+");
    size_t lineStart = 0;
    while (lineStart < jsgf.size()) {
        size_t lineEnd = jsgf.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = jsgf.size();
        const std::string line = jsgf.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string body = line.substr(equals + 1);
        for (auto it = std::sregex_iterator(body.begin(), body.end(), token); it != std::sregex_iterator(); ++it)
            if (it->str()[0] != '<') words.insert(it->str());
    }
    return words;
}

Decoder makeDecoder(const std::string& dir, bool phones)
{
    const std::string hmm = dir + "/en-us";
    // Context-independent phones keep the free-phone search a fraction of the grammar search's cost.
    // A stiffer word insertion penalty stops a trailing breath becoming an extra word ("twenty" heard
    // as "twenty two"), and stray sounds a run of short search words.
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.c_str(), "-dict", "/dev/null", "-logfn",
                                   "/dev/null", "-allphone_ci", phones ? "yes" : "no", "-wip", "0.2", nullptr);
    if (config == nullptr) throw Error("twk.server.speech", 10, "the speech model's settings were refused");
    Decoder ps(ps_init(config));
    cmd_ln_free_r(config);
    if (!ps) throw Error("twk.server.speech", 11, "the speech model did not load from " + dir + " (is pocketsphinx-en-us installed?)");
    return ps;
}

} // namespace

std::string speechModelDirectory()
{
    const char* dir = std::getenv("TWK_SPHINX_MODEL_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/usr/share/pocketsphinx/model/en-us";
}

struct SpeechRecognizer::State {
    Decoder grammar;
    std::set<std::string> words; // in the grammar decoder's dictionary
    Decoder phones;
    soxr_t resampler = nullptr;
    bool inUtterance = false;
    std::vector<int16_t> converted;
    std::vector<int16_t> utterance; // 16 kHz, decoded whole when it ends
};

SpeechRecognizer::SpeechRecognizer() : s_(std::make_unique<State>())
{
    const std::string dir = speechModelDirectory();
    s_->grammar = makeDecoder(dir, false);
    s_->phones = makeDecoder(dir, true);
    const std::string phoneModel = dir + "/en-us-phone.lm.bin";
    if (ps_set_allphone_file(s_->phones.get(), phoneSearch, phoneModel.c_str()) != 0 ||
        ps_set_search(s_->phones.get(), phoneSearch) != 0)
        throw Error("twk.server.speech", 12, "the phone model did not load from " + phoneModel);
}

SpeechRecognizer::~SpeechRecognizer()
{
    if (s_->resampler != nullptr) soxr_delete(s_->resampler);
    // The free-phone search frees an utterance's phones only when the next
    // utterance ends, never in ps_free: an empty last one lets them go.
    if (!s_->phones) return;
    if (s_->inUtterance) ps_end_utt(s_->phones.get());
    if (ps_start_utt(s_->phones.get()) == 0) ps_end_utt(s_->phones.get());
}

bool SpeechRecognizer::knows(const std::string& word)
{
    return pronunciations().count(word) != 0;
}

void SpeechRecognizer::addPronunciation(const std::string& word, const std::string& phones)
{
    auto& known = pronunciations()[word];
    if (known.empty()) known.push_back(phones);
}

void SpeechRecognizer::setGrammar(const std::string& jsgf)
{
    if (s_->inUtterance) finish();
    const auto& dictionary = pronunciations();
    for (const std::string& word : grammarWords(jsgf)) {
        if (s_->words.count(word)) continue;
        const auto it = dictionary.find(word);
        if (it == dictionary.end()) throw Error("twk.server.speech", 15, "the grammar has a word without pronunciation: " + word);
        // Alternative pronunciations go in as the dictionary's "word(2)" entries.
        for (size_t i = 0; i < it->second.size(); ++i) {
            const std::string entry = i == 0 ? word : word + "(" + std::to_string(i + 1) + ")";
            if (ps_add_word(s_->grammar.get(), entry.c_str(), it->second[i].c_str(), FALSE) < 0)
                throw Error("twk.server.speech", 16, "the dictionary refused the word " + entry);
        }
        s_->words.insert(word);
    }
    // ps_set_jsgf_string never frees the parsed grammar (about 200 KB a call, and
    // every connection builds one), so the grammar is parsed and freed here.
    const std::unique_ptr<jsgf_t, decltype(&jsgf_grammar_free)> parsed(jsgf_parse_string(jsgf.c_str(), nullptr),
                                                                        &jsgf_grammar_free);
    jsgf_rule_t* top = parsed ? jsgf_get_public_rule(parsed.get()) : nullptr;
    ps_decoder_t* ps = s_->grammar.get();
    fsg_model_t* fsg = top != nullptr ? jsgf_build_fsg(parsed.get(), top, ps_get_logmath(ps),
                                                       cmd_ln_float32_r(ps_get_config(ps), "-lw"))
                                      : nullptr;
    const bool loaded = fsg != nullptr && ps_set_fsg(ps, grammarSearch, fsg) == 0; // the search keeps its own reference
    if (fsg != nullptr) fsg_model_free(fsg);
    if (!loaded || ps_set_search(ps, grammarSearch) != 0) throw Error("twk.server.speech", 13, "the command grammar did not load");
}

bool SpeechRecognizer::inUtterance() const { return s_->inUtterance; }

void SpeechRecognizer::startUtterance()
{
    if (s_->inUtterance) finish();
    if (s_->resampler != nullptr) soxr_delete(s_->resampler);
    soxr_error_t failed = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_QQ, 0); // speech to a recognizer: speed over fidelity
    s_->resampler = soxr_create(24000, 16000, 1, &failed, &io, &quality, nullptr);
    if (failed != nullptr) throw Error("twk.server.speech", 14, std::string("resampler: ") + failed);
    s_->utterance.clear();
    ps_start_utt(s_->phones.get());
    s_->inUtterance = true;
}

void SpeechRecognizer::feed(std::string_view pcm)
{
    if (!s_->inUtterance) return;
    const size_t samples = pcm.size() / 2;
    s_->converted.resize(samples * 2 / 3 + 64);
    size_t done = 0;
    soxr_process(s_->resampler, pcm.data(), samples, nullptr, s_->converted.data(), s_->converted.size(), &done);
    keep(done);
}

void SpeechRecognizer::keep(size_t converted)
{
    // Both searches hear the same cut utterance: the free-phone search's history
    // would otherwise grow for as long as a noise keeps the detector open.
    const size_t room = maxUtteranceSamples - std::min(maxUtteranceSamples, s_->utterance.size());
    const size_t kept = std::min(converted, room);
    if (kept == 0) return;
    ps_process_raw(s_->phones.get(), s_->converted.data(), kept, FALSE, FALSE);
    s_->utterance.insert(s_->utterance.end(), s_->converted.begin(), s_->converted.begin() + long(kept));
}

Recognition SpeechRecognizer::finish()
{
    Recognition r;
    if (!s_->inUtterance) return r;
    s_->inUtterance = false;
    size_t done = 0;
    soxr_process(s_->resampler, nullptr, 0, nullptr, s_->converted.data(), s_->converted.size(), &done);
    keep(done);
    // The grammar search runs on the whole utterance, so that its cepstral mean
    // comes from this utterance: a mean carried over from earlier ones (or the
    // model's, for a connection's first command) is far off in noise and made
    // first commands fail. The free-phone search, which only vetoes, runs while
    // the audio arrives: it is the slower one.
    ps_end_utt(s_->phones.get());
    ps_start_utt(s_->grammar.get());
    ps_process_raw(s_->grammar.get(), s_->utterance.data(), s_->utterance.size(), FALSE, TRUE);
    ps_end_utt(s_->grammar.get());
    s_->utterance.clear();
    int32 score = 0;
    const char* hyp = ps_get_hyp(s_->grammar.get(), &score);
    if (hyp == nullptr || *hyp == '\0') return r;
    const char* phones = ps_get_hyp(s_->phones.get(), &score);
    r.words = hyp;
    std::string expected;
    const auto& dictionary = pronunciations();
    std::istringstream words(r.words);
    for (std::string w; words >> w;)
        if (const auto it = dictionary.find(w); it != dictionary.end()) expected += it->second.front() + " ";
    r.mismatch = phoneMismatch(expected, phones != nullptr ? phones : "");
    return r;
}

double phoneMismatch(const std::string& expected, const std::string& heard)
{
    const auto phonesOf = [](const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string p; in >> p;)
            if (p != "SIL" && p.front() != '+') out.push_back(p); // silence and noise are no phones of a word
        return out;
    };
    const auto a = phonesOf(expected), b = phonesOf(heard);
    if (a.empty()) return b.empty() ? 0 : 1;
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return double(row[b.size()]) / double(a.size());
}

} // namespace twk::server
