#pragma once

#include "platform/audio.h"
#include "platform/linux/pulse_thread.h"

#include <pulse/sample.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

struct pa_stream;
struct pa_time_event;
struct pa_mainloop_api;

namespace twk {

/// Plays on the sound server's default output. Buffers are written as the
/// server asks for data (so little sits in its queue and a reset is quick),
/// and each one is reported once the server's timing says its last sample
/// has passed the output's latency.
class PulseOutput : public AudioOutput {
public:
    explicit PulseOutput(double sampleRate);
    ~PulseOutput() override;

    VoidResult start() override;
    bool isRunning() const override { return running_.load(); }
    void schedule(std::vector<float> samples, Played onPlayed) override;
    void reset() override;
    void stop() override;
    void setOnConfigurationChange(std::function<void()> handler) override;

private:
    struct Scheduled {
        std::vector<float> samples;
        /// Stream position (bytes written since start or reset) just past
        /// this buffer's last sample.
        std::uint64_t end = 0;
        Played onPlayed;
        /// Monotonic time (pa_rtclock) when its last sample will have been
        /// heard, by the latest reading of the server's position; 0: unknown.
        pa_usec_t heardAt = 0;
    };

    static void onState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, size_t bytes, void* self);
    static void onMoved(pa_stream* stream, void* self);
    static void onTiming(pa_stream* stream, int success, void* self);
    static void onTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self);

    // Loop thread, lock held.
    void writeQueued(size_t budget);
    void estimateHeardTimes();
    void reportHeard();
    void armTick();
    void failAll();
    void configurationChanged();

    pa_sample_spec spec_;
    std::unique_ptr<PulseThread> thread_;
    pa_stream* stream_ = nullptr;
    pa_time_event* tick_ = nullptr;
    std::atomic<bool> running_{false};
    std::function<void()> onConfigurationChange_;

    // Guarded by the loop's lock.
    std::deque<Scheduled> queue_;  // not yet reported
    std::size_t writeCursor_ = 0;  // index into queue_ of the first buffer not fully written
    std::size_t writeOffset_ = 0;  // bytes of that buffer already written
    std::uint64_t queuedEnd_ = 0;  // end position of the last buffer scheduled
    std::uint64_t written_ = 0;    // bytes written to the server
};

} // namespace twk
