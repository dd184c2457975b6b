#include "platform/linux/pulse_output.h"

#include <pulse/context.h>
#include <pulse/def.h>
#include <pulse/error.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>

namespace twk {
namespace {

constexpr auto connectTimeout = std::chrono::milliseconds(3000);
// What the server keeps queued ahead of the output: enough to ride out a
// busy moment, small enough that barge-in stops the voice promptly.
constexpr pa_usec_t targetLatencyUsec = 80 * PA_USEC_PER_MSEC;
// How often the server's playback position is read while buffers await
// their report; bounds how late a report can be.
constexpr pa_usec_t positionPollUsec = 10 * PA_USEC_PER_MSEC;

void runAll(std::deque<std::function<void()>>& callbacks)
{
    for (auto& fn : callbacks) fn();
}

} // namespace

PulseOutput::PulseOutput(double sampleRate)
    : spec_{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(sampleRate), 1}
{
}

PulseOutput::~PulseOutput()
{
    stop();
}

void PulseOutput::setOnConfigurationChange(std::function<void()> handler)
{
    onConfigurationChange_ = std::move(handler);
}

VoidResult PulseOutput::start()
{
    if (running_.load()) return Unit{};
    stop(); // whatever is left of an output the server dropped
    thread_ = PulseThread::start("twk.playback");
    if (!thread_) return Error(pulseErrorDomain, PA_ERR_INTERNAL, "cannot start the playback thread");
    if (auto connected = thread_->connect("tarnwick", connectTimeout); !connected) {
        thread_.reset();
        return connected.error();
    }
    std::optional<Error> failure;
    {
        PulseThread::Lock lock(*thread_);
        stream_ = pa_stream_new(thread_->context(), "assistant speech", &spec_, nullptr);
        if (stream_ == nullptr) {
            failure = thread_->lastError("cannot create the playback stream");
        } else {
            pa_stream_set_state_callback(stream_, onState, this);
            pa_stream_set_write_callback(stream_, onWrite, this);
            pa_stream_set_moved_callback(stream_, onMoved, this);
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(targetLatencyUsec, &spec_));
            // Start as soon as anything is queued, and again after running dry.
            attr.prebuf = static_cast<uint32_t>(pa_frame_size(&spec_));
            attr.minreq = attr.fragsize = static_cast<uint32_t>(-1);
            if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
                failure = thread_->lastError("cannot open the playback stream");
            } else {
                thread_->waitUntil(
                    [this] {
                        const auto state = pa_stream_get_state(stream_);
                        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                    },
                    connectTimeout);
                if (pa_stream_get_state(stream_) != PA_STREAM_READY)
                    failure = thread_->lastError("cannot open the playback stream");
            }
        }
        if (!failure) {
            tick_ = pa_context_rttime_new(thread_->context(), PA_USEC_INVALID, onTick, this);
            written_ = queuedEnd_ = 0;
        }
    }
    if (failure) {
        stop();
        return *failure;
    }
    return Unit{};
}

void PulseOutput::schedule(std::vector<float> samples, Played onPlayed)
{
    if (!running_.load() || !thread_) {
        onPlayed();
        return;
    }
    {
        PulseThread::Lock lock(*thread_);
        if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
            queuedEnd_ += samples.size() * sizeof(float);
            queue_.push_back(Scheduled{std::move(samples), queuedEnd_, std::move(onPlayed)});
            writeQueued(pa_stream_writable_size(stream_));
            armTick();
            return;
        }
    }
    onPlayed();
}

void PulseOutput::reset()
{
    if (!thread_) return;
    PulseThread::Lock lock(*thread_);
    queue_.clear();
    writeCursor_ = writeOffset_ = 0;
    written_ = queuedEnd_ = 0;
    if (stream_ != nullptr && pa_stream_get_state(stream_) == PA_STREAM_READY)
        if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(op);
}

void PulseOutput::stop()
{
    if (!thread_) return;
    {
        PulseThread::Lock lock(*thread_);
        if (tick_ != nullptr) {
            pa_mainloop_api* api = pa_threaded_mainloop_get_api(thread_->loop());
            api->time_free(tick_);
            tick_ = nullptr;
        }
        if (stream_ != nullptr) {
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_stream_set_write_callback(stream_, nullptr, nullptr);
            pa_stream_set_moved_callback(stream_, nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
            stream_ = nullptr;
        }
        queue_.clear();
        writeCursor_ = writeOffset_ = 0;
    }
    thread_.reset();
    running_.store(false);
}

void PulseOutput::writeQueued(size_t budget)
{
    while (budget > 0 && writeCursor_ < queue_.size()) {
        const Scheduled& buffer = queue_[writeCursor_];
        const size_t total = buffer.samples.size() * sizeof(float);
        const size_t n = std::min(total - writeOffset_, budget);
        if (n > 0) {
            const auto* bytes = reinterpret_cast<const char*>(buffer.samples.data()) + writeOffset_;
            if (pa_stream_write(stream_, bytes, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
            written_ += n;
            writeOffset_ += n;
            budget -= n;
        }
        if (writeOffset_ == total) {
            ++writeCursor_;
            writeOffset_ = 0;
        }
    }
}

void PulseOutput::estimateHeardTimes()
{
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    if (timing == nullptr || timing->write_index_corrupt || timing->read_index_corrupt) return;
    const pa_usec_t now = pa_rtclock_now();
    const int64_t bytesPerSecond = static_cast<int64_t>(pa_bytes_per_second(&spec_));
    if (timing->write_index > timing->read_index) {
        // The byte at the read index has just entered the device and is heard
        // after the device's latency; the rest follows at the sample rate.
        const int64_t firstByte = timing->write_index - static_cast<int64_t>(written_);
        for (std::size_t i = 0; i < writeCursor_ && i < queue_.size(); ++i) {
            const int64_t ahead = firstByte + static_cast<int64_t>(queue_[i].end) - timing->read_index;
            const int64_t at = static_cast<int64_t>(now + timing->sink_usec) + ahead * 1000000 / bytesPerSecond;
            queue_[i].heardAt = static_cast<pa_usec_t>(std::max<int64_t>(at, 1));
        }
    } else {
        // The server holds nothing more: all of it is in the device, whose
        // latency now also counts silence after it. An upper bound, for
        // buffers no earlier reading placed.
        for (std::size_t i = 0; i < writeCursor_ && i < queue_.size(); ++i)
            if (queue_[i].heardAt == 0) queue_[i].heardAt = now + timing->sink_usec;
    }
}

void PulseOutput::reportHeard()
{
    const pa_usec_t now = pa_rtclock_now();
    std::deque<std::function<void()>> done;
    while (writeCursor_ > 0 && !queue_.empty() && queue_.front().heardAt != 0 && queue_.front().heardAt <= now) {
        done.push_back(std::move(queue_.front().onPlayed));
        queue_.pop_front();
        --writeCursor_;
    }
    armTick();
    runAll(done);
}

void PulseOutput::armTick()
{
    if (tick_ == nullptr || queue_.empty()) return;
    const pa_usec_t now = pa_rtclock_now();
    pa_usec_t due = now + positionPollUsec;
    if (const pa_usec_t heardAt = queue_.front().heardAt; heardAt != 0) due = std::clamp(heardAt, now, due);
    pa_context_rttime_restart(thread_->context(), tick_, due);
}

void PulseOutput::failAll()
{
    std::deque<std::function<void()>> lost;
    for (auto& buffer : queue_) lost.push_back(std::move(buffer.onPlayed));
    queue_.clear();
    writeCursor_ = writeOffset_ = 0;
    runAll(lost);
}

void PulseOutput::configurationChanged()
{
    if (onConfigurationChange_) onConfigurationChange_();
}

void PulseOutput::onState(pa_stream* stream, void* data)
{
    auto* self = static_cast<PulseOutput*>(data);
    const auto state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        self->running_.store(true);
    } else if (!PA_STREAM_IS_GOOD(state)) {
        const bool wasRunning = self->running_.exchange(false);
        self->failAll();
        if (wasRunning) self->configurationChanged();
    }
    self->thread_->signal();
}

void PulseOutput::onWrite(pa_stream*, size_t bytes, void* data)
{
    static_cast<PulseOutput*>(data)->writeQueued(bytes);
}

void PulseOutput::onMoved(pa_stream*, void* data)
{
    static_cast<PulseOutput*>(data)->configurationChanged();
}

void PulseOutput::onTiming(pa_stream*, int success, void* data)
{
    auto* self = static_cast<PulseOutput*>(data);
    if (success != 0) self->estimateHeardTimes();
    self->reportHeard();
}

void PulseOutput::onTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data)
{
    auto* self = static_cast<PulseOutput*>(data);
    if (self->queue_.empty()) return;
    // Report what is due by the last reading at once; take a new reading
    // for the rest (an underrun or a moved stream shifts them).
    self->reportHeard();
    if (pa_operation* op = pa_stream_update_timing_info(self->stream_, onTiming, self)) pa_operation_unref(op);
}

} // namespace twk
