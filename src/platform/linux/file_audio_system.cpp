#include "platform/linux/file_audio_system.h"

#include "common/log.h"

#include "voice/wav_file.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace twk {
namespace {

using Clock = std::chrono::steady_clock;

std::chrono::nanoseconds durationOf(std::size_t frames, double rate)
{
    return std::chrono::nanoseconds(static_cast<long long>(static_cast<double>(frames) * 1e9 / rate));
}

class FileCapture : public AudioCapture {
public:
    explicit FileCapture(WavAudio audio) : audio_(std::move(audio)) {}
    ~FileCapture() override { stop(); }

    StartResult start(BufferHandler onBuffer) override
    {
        if (running_) return StartResult::running;
        running_ = true;
        thread_ = std::thread([this, onBuffer = std::move(onBuffer)] { run(onBuffer); });
        return StartResult::running;
    }
    bool isRunning() const override { return running_; }
    void stop() override
    {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }

private:
    void run(const BufferHandler& onBuffer)
    {
        pthread_setname_np(pthread_self(), "com.tarnwick.ca");
        const PcmFormat& format = audio_.format;
        const auto framesPerBuffer = static_cast<std::size_t>(format.sampleRate * 0.02);
        const std::vector<std::uint8_t> silence(framesPerBuffer * format.bytesPerFrame(), 0);
        auto due = Clock::now();
        for (std::size_t frame = 0; running_;) {
            const std::size_t left = audio_.frames() > frame ? audio_.frames() - frame : 0;
            const std::size_t count = left > 0 ? std::min(left, framesPerBuffer) : framesPerBuffer;
            const void* data = left > 0 ? audio_.data.data() + frame * format.bytesPerFrame() : silence.data();
            due += durationOf(count, format.sampleRate);
            std::this_thread::sleep_until(due); // a device delivers a buffer once it has been recorded
            if (!running_) break;
            onBuffer(PcmBuffer{format, data, count});
            frame += left > 0 ? count : 0;
        }
    }

    WavAudio audio_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

class FileOutput : public AudioOutput {
public:
    FileOutput(std::string path, double sampleRate) : path_(std::move(path)), rate_(sampleRate) {}
    ~FileOutput() override { stop(); }

    VoidResult start() override
    {
        std::lock_guard lock(mutex_);
        if (running_) return Unit{};
        if (!writer_) writer_ = std::make_unique<WavWriter>(path_, static_cast<int>(rate_));
        if (!writer_->ok()) return Error("twk.audio", -11, path_ + ": cannot be written");
        running_ = true;
        thread_ = std::thread([this] { run(); });
        return Unit{};
    }
    bool isRunning() const override
    {
        std::lock_guard lock(mutex_);
        return running_;
    }
    void schedule(std::vector<float> samples, Played onPlayed) override
    {
        {
            std::lock_guard lock(mutex_);
            if (running_) {
                queue_.push_back({std::move(samples), std::move(onPlayed)});
                wake_.notify_all();
                return;
            }
        }
        onPlayed(); // never heard: reported at once
    }
    void reset() override
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        ++generation_;
    }
    void stop() override
    {
        {
            std::lock_guard lock(mutex_);
            if (!running_) return;
            running_ = false;
            queue_.clear();
            ++generation_;
        }
        wake_.notify_all();
        thread_.join();
    }
    void setOnConfigurationChange(std::function<void()>) override {}

private:
    struct Item {
        std::vector<float> samples;
        Played onPlayed;
    };

    void run()
    {
        std::unique_lock lock(mutex_);
        while (running_) {
            if (queue_.empty()) {
                wake_.wait(lock);
                continue;
            }
            Item item = std::move(queue_.front());
            queue_.pop_front();
            const auto generation = generation_;
            writer_->write(item.samples);
            // "Heard" once its duration has passed, unless dropped meanwhile.
            const auto heard = Clock::now() + durationOf(item.samples.size(), rate_);
            wake_.wait_until(lock, heard, [&] { return !running_ || generation_ != generation; });
            if (!running_ || generation_ != generation) continue;
            lock.unlock();
            item.onPlayed();
            lock.lock();
        }
    }

    std::string path_;
    double rate_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    std::uint64_t generation_ = 0;
    bool running_ = false;
    std::unique_ptr<WavWriter> writer_;
    std::thread thread_;
};

} // namespace

FileAudioSystem::FileAudioSystem(AudioSystem& fallback, std::optional<std::string> micFile,
                                 std::optional<std::string> speakerFile)
    : fallback_(fallback), micFile_(std::move(micFile)), speakerFile_(std::move(speakerFile))
{
    // A session without a spoken reply still leaves a valid (empty) recording.
    if (speakerFile_ && !WavWriter(*speakerFile_, 24000).ok())
        logLine("[twk] " + *speakerFile_ + ": cannot be written");
}

std::vector<AudioDevice> FileAudioSystem::inputDevices()
{
    if (!micFile_) return fallback_.inputDevices();
    return {{"file:" + *micFile_, *micFile_}};
}

std::optional<AudioDevice> FileAudioSystem::defaultInput()
{
    if (!micFile_) return fallback_.defaultInput();
    return inputDevices().front();
}

std::unique_ptr<AudioCapture> FileAudioSystem::openCapture(const AudioDevice& device)
{
    if (!micFile_ || device.uniqueID != "file:" + *micFile_) return fallback_.openCapture(device);
    return std::make_unique<FileCapture>(readWav(*micFile_).value());
}

std::unique_ptr<AudioOutput> FileAudioSystem::makeOutput(double sampleRate)
{
    if (!speakerFile_) return fallback_.makeOutput(sampleRate);
    return std::make_unique<FileOutput>(*speakerFile_, sampleRate);
}

} // namespace twk
