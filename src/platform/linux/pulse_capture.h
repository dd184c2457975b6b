#pragma once

#include "platform/audio.h"
#include "platform/linux/pulse_thread.h"

#include <pulse/sample.h>

#include <atomic>
#include <memory>
#include <string>

struct pa_stream;

namespace twk {

/// Records one PulseAudio source on its own client thread, which is the
/// capture thread: each fragment the server sends is handed over in place.
class PulseCapture : public AudioCapture {
public:
    /// `sampleSpec` must be one `pcmFormatOf` understands.
    PulseCapture(std::string sourceName, const pa_sample_spec& sampleSpec);
    ~PulseCapture() override;

    StartResult start(BufferHandler onBuffer) override;
    bool isRunning() const override { return running_.load(); }
    void stop() override;

    /// The stream format to ask for when recording a source of `native`
    /// format: its rate and channels, in a sample type the converter reads.
    static pa_sample_spec streamSpecFor(const pa_sample_spec& native);
    static PcmFormat pcmFormatOf(const pa_sample_spec& sampleSpec);

private:
    static void onRead(pa_stream* stream, size_t bytes, void* self);
    static void onState(pa_stream* stream, void* self);

    std::string sourceName_;
    pa_sample_spec sampleSpec_;
    PcmFormat format_;
    std::unique_ptr<PulseThread> thread_;
    pa_stream* stream_ = nullptr;
    BufferHandler onBuffer_;
    std::atomic<bool> running_{false};
};

} // namespace twk
