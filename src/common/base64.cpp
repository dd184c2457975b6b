#include "common/base64.h"

#include <array>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TWK_BASE64_AVX2 1
#endif

namespace twk {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable()
{
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}

constexpr auto kDecode = makeDecodeTable();

// One table per position in a quad, each holding the sextet already shifted
// into place: a quad decodes with four loads and three ORs. Invalid characters
// set bits above the 24 data bits, so one test after the loop catches them.
constexpr std::uint32_t kInvalid = 0xff000000u;

constexpr std::array<std::array<std::uint32_t, 256>, 4> makeShiftedTables()
{
    std::array<std::array<std::uint32_t, 256>, 4> tables{};
    for (int position = 0; position < 4; ++position) {
        for (int c = 0; c < 256; ++c) {
            const int v = kDecode[static_cast<size_t>(c)];
            tables[static_cast<size_t>(position)][static_cast<size_t>(c)] =
                v < 0 ? kInvalid : static_cast<std::uint32_t>(v) << (18 - 6 * position);
        }
    }
    return tables;
}

constexpr auto kShifted = makeShiftedTables();

#ifdef TWK_BASE64_AVX2
// 32 characters to 24 bytes per step: nibble lookups classify the characters
// (any invalid one leaves a bit in `errors`), a per-range offset maps them to
// sextets, and two multiply-adds pack the sextets. Only whole steps whose
// 32-byte store stays inside `out` run here; the caller finishes the rest.
// Returns the number of characters consumed, or -1 on an invalid character.
__attribute__((target("avx2"))) long decodeAvx2(const unsigned char* in, size_t length, std::uint8_t* out,
                                                size_t outSize)
{
    const __m256i lowClass = _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1a,
                                              0x1b, 0x1b, 0x1b, 0x1a, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                              0x11, 0x11, 0x13, 0x1a, 0x1b, 0x1b, 0x1b, 0x1a);
    const __m256i highClass = _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                                               0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                                               0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i offsets = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                                             -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i slash = _mm256_set1_epi8('/');
    const __m256i pairWeights = _mm256_set1_epi32(0x01400140);
    const __m256i quadWeights = _mm256_set1_epi32(0x00011000);
    const __m256i pack = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4, 10,
                                          9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i compact = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);

    __m256i errors = _mm256_setzero_si256();
    size_t i = 0, o = 0;
    for (; i + 32 <= length && o + 32 <= outSize; i += 32, o += 24) {
        const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(text, 4), nibble);
        const __m256i low = _mm256_and_si256(text, nibble);
        errors = _mm256_or_si256(errors, _mm256_and_si256(_mm256_shuffle_epi8(lowClass, low),
                                                          _mm256_shuffle_epi8(highClass, high)));
        const __m256i shift = _mm256_shuffle_epi8(offsets, _mm256_add_epi8(_mm256_cmpeq_epi8(text, slash), high));
        const __m256i sextets = _mm256_add_epi8(text, shift);
        const __m256i pairs = _mm256_maddubs_epi16(sextets, pairWeights);
        const __m256i words = _mm256_madd_epi16(pairs, quadWeights);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, pack), compact);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + o), bytes);
    }
    if (!_mm256_testz_si256(errors, errors)) return -1;
    return static_cast<long>(i);
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

} // namespace

std::string base64Encode(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    if (const size_t rest = bytes.size() - i; rest > 0) {
        std::uint32_t v = std::uint32_t{bytes[i]} << 16;
        if (rest == 2) v |= std::uint32_t{bytes[i + 1]} << 8;
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;

    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3 - padding);
    const auto sextet = [&](size_t i) { return kDecode[static_cast<unsigned char>(text[i])]; };
    const size_t full = text.size() - (padding > 0 ? 4 : 0);
    for (size_t i = 0; i < full; i += 4) {
        const int a = sextet(i), b = sextet(i + 1), c = sextet(i + 2), d = sextet(i + 3);
        if ((a | b | c | d) < 0) return std::nullopt;
        const auto v = static_cast<std::uint32_t>((a << 18) | (b << 12) | (c << 6) | d);
        out.push_back(static_cast<std::uint8_t>(v >> 16));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }
    if (padding > 0) {
        const size_t i = full;
        const int a = sextet(i), b = sextet(i + 1);
        const int c = padding == 1 ? sextet(i + 2) : 0;
        if ((a | b | c) < 0) return std::nullopt;
        const auto v = static_cast<std::uint32_t>((a << 18) | (b << 12) | (c << 6));
        out.push_back(static_cast<std::uint8_t>(v >> 16));
        if (padding == 1) out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return out;
}

bool base64DecodeInto(std::string_view text, std::vector<std::uint8_t>& out)
{
    if (text.size() % 4 != 0) return false;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    out.resize(text.size() / 4 * 3 - padding);
    if (text.empty()) return true;

    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    std::uint8_t* dst = out.data();
    const size_t full = text.size() - (padding > 0 ? 4 : 0);
    size_t i = 0;
#ifdef TWK_BASE64_AVX2
    if (haveAvx2()) {
        const long consumed = decodeAvx2(in, full, dst, out.size());
        if (consumed < 0) return false;
        i = static_cast<size_t>(consumed);
        dst += i / 4 * 3;
    }
#endif
    std::uint32_t errors = 0;
    for (; i < full; i += 4, dst += 3) {
        const std::uint32_t v = kShifted[0][in[i]] | kShifted[1][in[i + 1]] | kShifted[2][in[i + 2]] |
                                kShifted[3][in[i + 3]];
        errors |= v;
        dst[0] = static_cast<std::uint8_t>(v >> 16);
        dst[1] = static_cast<std::uint8_t>(v >> 8);
        dst[2] = static_cast<std::uint8_t>(v);
    }
    if (padding > 0) {
        const std::uint32_t v = kShifted[0][in[full]] | kShifted[1][in[full + 1]] |
                                (padding == 1 ? kShifted[2][in[full + 2]] : 0);
        errors |= v;
        dst[0] = static_cast<std::uint8_t>(v >> 16);
        if (padding == 1) dst[1] = static_cast<std::uint8_t>(v >> 8);
    }
    return (errors & kInvalid) == 0;
}

} // namespace twk
