#pragma once

#include "common/main_loop.h"

#include <memory>

namespace twk {

/// The main loop on Qt's event loop. Build it on the main thread once the
/// QCoreApplication exists; work still queued when it is destroyed is dropped.
class QtMainLoop : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;

    void post(std::function<void()> fn) override;
    TimerHandle after(Duration delay, std::function<void()> fn) override;
    TimerHandle every(Duration interval, std::function<void()> fn) override;
    TimePoint now() const override;
    bool isMainThread() const override;

private:
    TimerHandle schedule(Duration delay, bool repeating, std::function<void()> fn);

    class Context;
    std::unique_ptr<Context> context_;
};

} // namespace twk
