#include "phone_mapping.h"

#include <array>
#include <utility>

namespace twk::server {
namespace {

// Longest first, so that diphthongs and affricates win over their parts.
constexpr std::array<std::pair<std::string_view, std::string_view>, 57> ipaPhones{{
    {"eɪ", "EY"}, {"aɪ", "AY"}, {"ɔɪ", "OY"}, {"aʊ", "AW"}, {"oʊ", "OW"}, {"əʊ", "OW"}, {"tʃ", "CH"}, {"dʒ", "JH"},
    {"ɜː", "ER"}, {"ɑː", "AA"}, {"iː", "IY"}, {"uː", "UW"}, {"ɔː", "AO"}, {"ɚ", "ER"},  {"ɝ", "ER"},  {"ɑ", "AA"},
    {"ɒ", "AA"},  {"i", "IY"},  {"u", "UW"},  {"ɔ", "AO"},  {"æ", "AE"},  {"ɛ", "EH"},  {"ɪ", "IH"},  {"ᵻ", "IH"},
    {"ʊ", "UH"},  {"ʌ", "AH"},  {"ə", "AH"},  {"ɐ", "AH"},  {"e", "EH"},  {"o", "OW"},  {"a", "AE"},  {"p", "P"},
    {"b", "B"},   {"t", "T"},   {"d", "D"},   {"k", "K"},   {"ɡ", "G"},   {"g", "G"},   {"f", "F"},   {"v", "V"},
    {"θ", "TH"},  {"ð", "DH"},  {"s", "S"},   {"z", "Z"},   {"ʃ", "SH"},  {"ʒ", "ZH"},  {"h", "HH"},  {"m", "M"},
    {"n", "N"},   {"ŋ", "NG"},  {"l", "L"},   {"ɹ", "R"},   {"r", "R"},   {"w", "W"},   {"j", "Y"},   {"ɾ", "T"},
    {"x", "K"},
}};
// Stress, length, syllable and tie marks that carry no phone of their own here.
constexpr std::array<std::string_view, 6> marks{"ˈ", "ˌ", "ː", "̩", "͡", "-"};

} // namespace

std::optional<std::string> phonesFromIpa(std::string_view ipa)
{
    std::string out;
    size_t at = 0;
    while (at < ipa.size()) {
        if (ipa[at] == ' ' || ipa[at] == '_') {
            ++at;
            continue;
        }
        bool matched = false;
        for (const auto m : marks)
            if (ipa.substr(at).starts_with(m)) {
                at += m.size();
                matched = true;
                break;
            }
        if (matched) continue;
        for (const auto& [sound, phone] : ipaPhones)
            if (ipa.substr(at).starts_with(sound)) {
                out += (out.empty() ? "" : " ") + std::string(phone);
                at += sound.size();
                matched = true;
                break;
            }
        if (!matched) return std::nullopt;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

} // namespace twk::server
