#include "wav_file.h"

#include "common/error.h"

#include <cstdint>
#include <fstream>
#include <sstream>

namespace twk::server {
namespace {

[[noreturn]] void fail(const std::string& why) { throw Error("twk.server.wav", 1, why); }

uint32_t le32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t le16(const std::string& b, size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }

} // namespace

std::string pcm16MonoFromWav(const std::string& bytes)
{
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        fail("not a RIFF/WAVE file");
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const uint64_t size = le32(bytes, at + 4);
        const size_t body = at + 8;
        if (size > bytes.size() - body) {
            // Streamed writers leave the data size unset; take what is there.
            if (id != "data") fail("truncated '" + id + "' chunk");
        }
        if (id == "fmt ") {
            if (size < 16) fail("short format chunk");
            const uint16_t format = le16(bytes, body), channels = le16(bytes, body + 2), bits = le16(bytes, body + 14);
            const uint32_t rate = le32(bytes, body + 4);
            const bool pcm = format == 1 || (format == 0xFFFE && size >= 40 && le16(bytes, body + 24) == 1);
            if (!pcm || bits != 16 || channels != 1 || rate != 24000)
                fail("expected PCM 16-bit mono at 24000 Hz, found format " + std::to_string(format) + ", " +
                     std::to_string(bits) + " bits, " + std::to_string(channels) + " channel(s) at " +
                     std::to_string(rate) + " Hz");
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) fail("data before the format chunk");
            const size_t available = std::min<uint64_t>(size, bytes.size() - body);
            return bytes.substr(body, available & ~size_t(1));
        }
        at = body + size + (size & 1);
    }
    fail(haveFormat ? "no data chunk" : "no format chunk");
}

std::string readPcm16MonoWav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("twk.server.wav", 2, "cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    try {
        return pcm16MonoFromWav(bytes.str());
    } catch (const Error& e) {
        throw Error("twk.server.wav", e.code(), path + ": " + e.description());
    }
}

} // namespace twk::server
