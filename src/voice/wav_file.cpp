#include "voice/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace twk {
namespace {

std::uint32_t le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void put32(std::ofstream& f, std::uint32_t v)
{
    const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    f.write(b, 4);
}
void put16(std::ofstream& f, std::uint16_t v)
{
    const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    f.write(b, 2);
}

} // namespace

Expected<WavAudio> readWav(const std::string& path)
{
    const auto fail = [&](const std::string& why) { return Error("twk.audio", -10, path + ": " + why); };
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot be opened");
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return fail("is not a WAV file");

    WavAudio audio;
    bool haveFormat = false;
    for (std::size_t pos = 12; pos + 8 <= bytes.size();) {
        const std::uint8_t* chunk = bytes.data() + pos;
        const std::size_t size = le32(chunk + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = std::min(size, bytes.size() - body); // streams may leave sizes unset
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= 16) {
            const std::uint16_t tag = le16(chunk + 8);
            const std::uint16_t bits = le16(chunk + 22);
            audio.format.channels = le16(chunk + 10);
            audio.format.sampleRate = le32(chunk + 12);
            if (tag == 1 && bits == 16)
                audio.format.sampleType = SampleType::int16;
            else if (tag == 3 && bits == 32)
                audio.format.sampleType = SampleType::float32;
            else
                return fail("holds " + std::to_string(bits) + "-bit samples of format " + std::to_string(tag) +
                            "; only 16-bit PCM and 32-bit float are read");
            haveFormat = audio.format.channels > 0 && audio.format.sampleRate > 0;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return fail("has its samples before their format");
            audio.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(body),
                              bytes.begin() + static_cast<std::ptrdiff_t>(body + available));
            audio.data.resize(audio.frames() * audio.format.bytesPerFrame());
            return audio;
        }
        pos = body + size + (size & 1);
    }
    return fail(haveFormat ? "has no samples" : "has no format chunk");
}

WavWriter::WavWriter(const std::string& path, int sampleRate)
    : file_(path, std::ios::binary | std::ios::trunc), sampleRate_(sampleRate)
{
    if (file_) writeHeader();
}

void WavWriter::write(const std::vector<float>& samples)
{
    if (!file_) return;
    std::vector<char> out;
    out.reserve(samples.size() * 2);
    for (float s : samples) {
        const auto v = static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
        out.push_back(static_cast<char>(v & 0xff));
        out.push_back(static_cast<char>((v >> 8) & 0xff));
    }
    file_.seekp(0, std::ios::end);
    file_.write(out.data(), static_cast<std::streamsize>(out.size()));
    dataBytes_ += static_cast<std::uint32_t>(out.size());
    writeHeader();
    file_.flush();
}

void WavWriter::writeHeader()
{
    file_.seekp(0);
    file_.write("RIFF", 4);
    put32(file_, 36 + dataBytes_);
    file_.write("WAVEfmt ", 8);
    put32(file_, 16);
    put16(file_, 1); // PCM
    put16(file_, 1); // mono
    put32(file_, static_cast<std::uint32_t>(sampleRate_));
    put32(file_, static_cast<std::uint32_t>(sampleRate_) * 2);
    put16(file_, 2);
    put16(file_, 16);
    file_.write("data", 4);
    put32(file_, dataBytes_);
}

} // namespace twk
