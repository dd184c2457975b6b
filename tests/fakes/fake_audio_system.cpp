#include "fakes/fake_audio_system.h"

#include <utility>

namespace twk::test {
namespace {

class FakeCapture : public AudioCapture {
public:
    FakeCapture(std::shared_ptr<FakeAudioSystem::CaptureState> state, StartResult result)
        : state_(std::move(state)), result_(result)
    {
    }
    ~FakeCapture() override { stop(); }
    StartResult start(BufferHandler onBuffer) override
    {
        if (result_ == StartResult::running) {
            state_->handler = std::move(onBuffer);
            state_->running = true;
        }
        return result_;
    }
    bool isRunning() const override { return state_->running; }
    void stop() override
    {
        if (!state_->running) return;
        state_->running = false;
        state_->handler = nullptr;
        ++state_->stops;
    }

private:
    std::shared_ptr<FakeAudioSystem::CaptureState> state_;
    StartResult result_;
};

class FakeOutput : public AudioOutput {
public:
    explicit FakeOutput(std::shared_ptr<FakeAudioSystem::OutputState> state) : state_(std::move(state)) {}
    VoidResult start() override
    {
        ++state_->starts;
        if (state_->startFails) return Error("fake.audio", 1, "no output device");
        state_->running = true;
        return Unit{};
    }
    bool isRunning() const override { return state_->running; }
    void schedule(std::vector<float> samples, Played onPlayed) override
    {
        if (!state_->running) {
            onPlayed();
            return;
        }
        state_->scheduled.push_back(std::move(samples));
        state_->completions.push_back(std::move(onPlayed));
    }
    void reset() override
    {
        ++state_->resets;
        drop();
    }
    void stop() override
    {
        if (!state_->running) return;
        state_->running = false;
        drop();
    }
    void setOnConfigurationChange(std::function<void()> handler) override
    {
        state_->onConfigurationChange = std::move(handler);
    }

private:
    void drop()
    {
        for (auto& c : state_->completions) state_->dropped.push_back(std::move(c));
        state_->completions.clear();
        state_->scheduled.clear();
    }
    std::shared_ptr<FakeAudioSystem::OutputState> state_;
};

} // namespace

void FakeAudioSystem::OutputState::finishNext()
{
    if (completions.empty()) return;
    auto done = std::move(completions.front());
    completions.pop_front();
    scheduled.pop_front();
    done();
}

std::unique_ptr<AudioCapture> FakeAudioSystem::openCapture(const AudioDevice& device)
{
    if (openError) {
        const Error error = *openError;
        openError.reset();
        throw error;
    }
    auto state = std::make_shared<CaptureState>();
    state->deviceID = device.uniqueID;
    captures.push_back(state);
    return std::make_unique<FakeCapture>(state, startResult);
}

std::unique_ptr<AudioOutput> FakeAudioSystem::makeOutput(double)
{
    return std::make_unique<FakeOutput>(output);
}

} // namespace twk::test
