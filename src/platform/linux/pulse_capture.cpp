#include "platform/linux/pulse_capture.h"

#include <pulse/stream.h>
#include <pulse/timeval.h>

namespace twk {
namespace {

constexpr auto connectTimeout = std::chrono::milliseconds(3000);
// About the size of the buffers a desktop microphone usually delivers.
constexpr pa_usec_t fragmentUsec = 20 * PA_USEC_PER_MSEC;

} // namespace

PulseCapture::PulseCapture(std::string sourceName, const pa_sample_spec& sampleSpec)
    : sourceName_(std::move(sourceName)), sampleSpec_(sampleSpec), format_(pcmFormatOf(sampleSpec))
{
}

PulseCapture::~PulseCapture()
{
    stop();
}

pa_sample_spec PulseCapture::streamSpecFor(const pa_sample_spec& native)
{
    pa_sample_spec sampleSpec = native;
    switch (native.format) {
    case PA_SAMPLE_S16NE:
    case PA_SAMPLE_S32NE:
    case PA_SAMPLE_FLOAT32NE:
        break;
    case PA_SAMPLE_S32RE:
    case PA_SAMPLE_S24NE:
    case PA_SAMPLE_S24RE:
    case PA_SAMPLE_S24_32NE:
    case PA_SAMPLE_S24_32RE:
        sampleSpec.format = PA_SAMPLE_S32NE; // keeps their resolution
        break;
    case PA_SAMPLE_S16RE:
    case PA_SAMPLE_U8:
    case PA_SAMPLE_ALAW:
    case PA_SAMPLE_ULAW:
        sampleSpec.format = PA_SAMPLE_S16NE;
        break;
    default:
        sampleSpec.format = PA_SAMPLE_FLOAT32NE;
        break;
    }
    if (!pa_sample_spec_valid(&sampleSpec)) sampleSpec = pa_sample_spec{PA_SAMPLE_FLOAT32NE, 48000, 1};
    return sampleSpec;
}

PcmFormat PulseCapture::pcmFormatOf(const pa_sample_spec& sampleSpec)
{
    const SampleType type = sampleSpec.format == PA_SAMPLE_S16NE   ? SampleType::int16
                            : sampleSpec.format == PA_SAMPLE_S32NE ? SampleType::int32
                                                             : SampleType::float32;
    return PcmFormat{static_cast<double>(sampleSpec.rate), sampleSpec.channels, type};
}

AudioCapture::StartResult PulseCapture::start(BufferHandler onBuffer)
{
    if (thread_) return StartResult::running;
    thread_ = PulseThread::start(captureThreadLabel);
    if (!thread_) return StartResult::deliveryFailed;
    onBuffer_ = std::move(onBuffer);
    if (!thread_->connect("tarnwick", connectTimeout)) {
        thread_.reset();
        return StartResult::inputRefused;
    }
    bool ready = false;
    {
        PulseThread::Lock lock(*thread_);
        stream_ = pa_stream_new(thread_->context(), "microphone", &sampleSpec_, nullptr);
        if (stream_ != nullptr) {
            pa_stream_set_state_callback(stream_, onState, this);
            pa_stream_set_read_callback(stream_, onRead, this);
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(fragmentUsec, &sampleSpec_));
            attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
            if (pa_stream_connect_record(stream_, sourceName_.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) == 0) {
                thread_->waitUntil(
                    [this] {
                        const auto state = pa_stream_get_state(stream_);
                        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                    },
                    connectTimeout);
                ready = pa_stream_get_state(stream_) == PA_STREAM_READY;
            }
        }
    }
    if (!ready) {
        stop();
        return StartResult::inputRefused;
    }
    return StartResult::running;
}

void PulseCapture::stop()
{
    if (!thread_) return;
    {
        PulseThread::Lock lock(*thread_);
        if (stream_ != nullptr) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
    }
    thread_.reset(); // joins the capture thread: no buffer is delivered after this
    running_.store(false);
    onBuffer_ = nullptr;
}

void PulseCapture::onState(pa_stream* stream, void* data)
{
    auto* self = static_cast<PulseCapture*>(data);
    self->running_.store(pa_stream_get_state(stream) == PA_STREAM_READY);
    self->thread_->signal();
}

void PulseCapture::onRead(pa_stream* stream, size_t, void* data)
{
    auto* self = static_cast<PulseCapture*>(data);
    const std::size_t frameBytes = pa_frame_size(&self->sampleSpec_);
    while (pa_stream_readable_size(stream) > 0) {
        const void* bytes = nullptr;
        size_t length = 0;
        if (pa_stream_peek(stream, &bytes, &length) < 0 || length == 0) return;
        // A null pointer with a length is a gap in the recording: nothing to hand over.
        if (bytes != nullptr && length >= frameBytes) self->onBuffer_(PcmBuffer{self->format_, bytes, length / frameBytes});
        pa_stream_drop(stream);
    }
}

} // namespace twk
