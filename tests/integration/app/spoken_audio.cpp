#include "integration/app/spoken_audio.h"

#include "fakes/pcm_signals.h"
#include "integration/process_helpers.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace twk::test {
namespace {

constexpr const char* flitePrefix = "flite:";

void run(const std::string& program, const std::vector<std::string>& args)
{
    ChildProcess p(program, args);
    if (p.waitForExit(std::chrono::seconds(30)) != 0) throw std::runtime_error(program + " failed: " + p.output());
}

std::string mixed(std::string pcm, double rms, unsigned seed)
{
    if (rms <= 0) return pcm;
    const std::string noise = noisePcm(int(pcm.size() / 48), rms, seed);
    for (size_t i = 0; i + 1 < pcm.size() && i + 1 < noise.size(); i += 2) {
        const auto sample = [](const std::string& s, size_t at) {
            return int16_t(uint16_t(uint8_t(s[at])) | uint16_t(uint8_t(s[at + 1])) << 8);
        };
        const int sum = std::clamp(int(sample(pcm, i)) + int(sample(noise, i)), -32768, 32767);
        pcm[i] = char(uint16_t(sum) & 0xff);
        pcm[i + 1] = char(uint16_t(sum) >> 8);
    }
    return pcm;
}

} // namespace

std::string spokenPcm(const std::string& folder, const std::string& text, const Speaker& speaker)
{
    const std::string spoken = folder + "/spoken.wav", converted = folder + "/spoken24k.raw";
    if (speaker.voice.rfind(flitePrefix, 0) == 0) {
        // flite speaks at about 175 words a minute; its stretch factor slows or hurries that.
        const std::string stretch = std::to_string(175.0 / std::max(speaker.wordsPerMinute, 1));
        run("/usr/bin/flite", {"-voice", speaker.voice.substr(std::strlen(flitePrefix)), "--setf", "duration_stretch=" + stretch,
                               "-o", spoken, "-t", text});
    } else {
        run("/usr/bin/espeak-ng", {"-v", speaker.voice, "-s", std::to_string(speaker.wordsPerMinute), "-w", spoken, "--", text});
    }
    run("/usr/bin/sox", {"-R", spoken, "-r", "24000", "-c", "1", "-b", "16", "-e", "signed-integer", "-t", "raw", converted});
    std::ifstream in(converted, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string pcm = silencePcm(500) + bytes.str() + silencePcm(1000);
    return mixed(pcm, speaker.noiseRms, unsigned(text.size()));
}

} // namespace twk::test
