#include "speech_synthesizer.h"

#include "common/error.h"

#include <espeak-ng/speak_lib.h>
#include <soxr.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace twk::server {
namespace {

constexpr int wireRate = 24000;
constexpr const char* defaultVoice = "en-us";

int collect(short* samples, int count, espeak_EVENT* events)
{
    auto* out = static_cast<std::vector<short>*>(events->user_data);
    if (samples != nullptr && count > 0) out->insert(out->end(), samples, samples + count);
    return 0; // go on
}

std::string resampled(const std::vector<short>& in, int fromRate)
{
    std::string out;
    if (in.empty()) return out;
    const size_t capacity = size_t(double(in.size()) * wireRate / fromRate) + 64;
    out.resize(capacity * 2);
    size_t written = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
    if (const soxr_error_t failed = soxr_oneshot(fromRate, wireRate, 1, in.data(), in.size(), nullptr, out.data(),
                                                 capacity, &written, &io, &quality, nullptr))
        throw Error("twk.server.speech", 2, std::string("resampling the reply failed: ") + failed);
    out.resize(written * 2);
    return out;
}

bool isVariant(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') return false;
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/espeak-ng-data/voices/!v", "/usr/share/espeak-ng-data/voices/!v"})
        if (std::filesystem::exists(std::string(dir) + "/" + name)) return true;
    return false;
}

} // namespace

SpeechSynthesizer& SpeechSynthesizer::instance()
{
    static SpeechSynthesizer synthesizer;
    return synthesizer;
}

SpeechSynthesizer::SpeechSynthesizer()
{
    sampleRate_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, 0);
    if (sampleRate_ <= 0) throw Error("twk.server.speech", 1, "espeak-ng could not start: is espeak-ng-data installed?");
    espeak_SetSynthCallback(collect);
}

bool SpeechSynthesizer::setVoice(const std::string& voice)
{
    if (voice == currentVoice_) return true;
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) return false;
    currentVoice_ = voice;
    return true;
}

std::string SpeechSynthesizer::speak(const std::string& text, const std::string& voice)
{
    if (!setVoice(voice) && !setVoice(defaultVoice)) throw Error("twk.server.speech", 3, "espeak-ng has no English voice");
    std::vector<short> samples;
    const espeak_ERROR result = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                                             nullptr, &samples);
    if (result != EE_OK) throw Error("twk.server.speech", 4, "espeak-ng could not speak the reply");
    return resampled(samples, sampleRate_);
}

std::string SpeechSynthesizer::ipaOf(const std::string& word)
{
    if (!setVoice(defaultVoice)) return "";
    std::string ipa;
    const void* text = word.c_str();
    // Each call translates up to a clause boundary; a single word is one clause.
    while (text != nullptr) {
        const char* phonemes = espeak_TextToPhonemes(&text, espeakCHARS_UTF8, espeakPHONEMES_IPA);
        if (phonemes == nullptr) break;
        ipa += phonemes;
    }
    return ipa;
}

std::string SpeechSynthesizer::voiceFor(const std::string& setting) const
{
    // The hosted service's voice names, matched to an espeak-ng variant of a similar register.
    static const std::map<std::string, std::string> similar{
        {"marin", "en-us+f3"}, {"coral", "en-us+f2"}, {"shimmer", "en-us+f4"}, {"sage", "en-us+f1"},
        {"cedar", "en-us+m3"}, {"ash", "en-us+m2"},   {"echo", "en-us+m1"},    {"verse", "en-us+m4"},
        {"ballad", "en-gb+m3"}, {"alloy", "en-us"},
    };
    if (const auto it = similar.find(setting); it != similar.end()) return it->second;
    const auto plus = setting.find('+');
    const std::string base = setting.substr(0, plus);
    const std::string variant = plus == std::string::npos ? "" : setting.substr(plus + 1);
    if (variant.empty() && isVariant(base)) return std::string(defaultVoice) + "+" + base;
    const bool english = base == "en" || base.rfind("en-", 0) == 0;
    if (english && base.find('/') == std::string::npos && (variant.empty() || isVariant(variant))) return setting;
    return defaultVoice;
}

} // namespace twk::server
