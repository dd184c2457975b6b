#include "integration/audio/sound_server.h"

#include "integration/process_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>

namespace twk::test {
namespace {

constexpr std::size_t windowFrames = 480; // 20 ms at 24 kHz

std::string tempDir()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string pattern = std::string(runtime != nullptr ? runtime : "/tmp") + "/twk-audio-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

std::vector<std::int16_t> readRaw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                               (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
    return samples;
}

} // namespace

std::string runTool(const std::string& path, const std::vector<std::string>& args)
{
    ChildProcess child(path, args);
    const auto status = child.waitForExit(std::chrono::seconds(20));
    EXPECT_EQ(status, std::optional<int>(0)) << path << " failed: " << child.output();
    return child.output();
}

void addVirtualMic(const std::string& name, const std::string& format, int rate, int channels)
{
    runTool("/usr/bin/pactl", {"load-module", "module-remap-source", "source_name=" + name, "master=micfeed.monitor",
                               "format=" + format, "rate=" + std::to_string(rate),
                               "channels=" + std::to_string(channels)});
}

const Speech& speech()
{
    static const Speech made = [] {
        const std::string dir = tempDir();
        Speech s{dir + "/speech.wav", {}};
        runTool("/usr/bin/espeak-ng", {"-w", s.wavPath, "Open the calculator, then turn the music down a little."});
        const std::string raw = dir + "/speech.raw";
        runTool("/usr/bin/sox", {s.wavPath, "-r", "24000", "-c", "1", "-e", "signed-integer", "-b", "16", "-t", "raw", raw});
        s.wire = readRaw(raw);
        return s;
    }();
    return made;
}

void feedMic(const std::string& wavPath)
{
    runTool("/usr/bin/paplay", {"--device=micfeed", wavPath});
}

std::vector<double> envelope(const std::vector<std::int16_t>& samples)
{
    std::vector<double> env;
    for (std::size_t start = 0; start + windowFrames <= samples.size(); start += windowFrames) {
        double sum = 0;
        for (std::size_t i = start; i < start + windowFrames; ++i) sum += std::pow(samples[i] / 32768.0, 2);
        env.push_back(std::sqrt(sum / windowFrames));
    }
    return env;
}

double bestCorrelation(const std::vector<double>& recording, const std::vector<double>& reference)
{
    const std::size_t n = reference.size();
    if (n < 2 || recording.size() < n) return -1;
    const auto correlate = [n](const double* a, const double* b) {
        const double ma = std::accumulate(a, a + n, 0.0) / n, mb = std::accumulate(b, b + n, 0.0) / n;
        double sab = 0, saa = 0, sbb = 0;
        for (std::size_t i = 0; i < n; ++i) {
            sab += (a[i] - ma) * (b[i] - mb);
            saa += (a[i] - ma) * (a[i] - ma);
            sbb += (b[i] - mb) * (b[i] - mb);
        }
        return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
    };
    double best = -1;
    for (std::size_t offset = 0; offset + n <= recording.size(); ++offset)
        best = std::max(best, correlate(recording.data() + offset, reference.data()));
    return best;
}

Recorder::Recorder(AudioSystem& system, const std::string& source)
{
    capture_ = system.openCapture(AudioDevice{source, source});
    const auto started = capture_->start([this](const PcmBuffer& buffer) {
        Block block{std::chrono::steady_clock::now(), std::vector<float>(buffer.frames)};
        const int channels = buffer.format.channels;
        for (std::size_t f = 0; f < buffer.frames; ++f) {
            float sum = 0;
            for (int c = 0; c < channels; ++c) {
                const std::size_t i = f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
                switch (buffer.format.sampleType) {
                case SampleType::int16:
                    sum += static_cast<const std::int16_t*>(buffer.data)[i] / 32768.0f;
                    break;
                case SampleType::int32:
                    sum += static_cast<float>(static_cast<const std::int32_t*>(buffer.data)[i] / 2147483648.0);
                    break;
                case SampleType::float32:
                    sum += static_cast<const float*>(buffer.data)[i];
                    break;
                }
            }
            block.mono[f] = sum / static_cast<float>(channels);
        }
        std::lock_guard lock(mutex_);
        rate_ = buffer.format.sampleRate;
        blocks_.push_back(std::move(block));
    });
    if (started != AudioCapture::StartResult::running) throw std::runtime_error("cannot record " + source);
}

Recorder::~Recorder()
{
    capture_->stop();
}

std::optional<std::chrono::steady_clock::time_point> Recorder::lastLoud(float threshold) const
{
    std::lock_guard lock(mutex_);
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        for (std::size_t i = block->mono.size(); i-- > 0;) {
            if (std::fabs(block->mono[i]) < threshold) continue;
            const double after = static_cast<double>(block->mono.size() - 1 - i) / rate_;
            return block->arrived - std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double>(after));
        }
    }
    return std::nullopt;
}

double Recorder::loudSeconds(float threshold) const
{
    std::lock_guard lock(mutex_);
    std::size_t loud = 0;
    for (const auto& block : blocks_)
        loud += static_cast<std::size_t>(
            std::count_if(block.mono.begin(), block.mono.end(), [&](float v) { return std::fabs(v) >= threshold; }));
    return rate_ > 0 ? static_cast<double>(loud) / rate_ : 0;
}

} // namespace twk::test
