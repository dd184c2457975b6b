#include "common/base64.h"

#include <array>

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

} // namespace twk
