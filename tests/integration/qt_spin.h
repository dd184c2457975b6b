#pragma once

#include <QCoreApplication>

#include <chrono>
#include <functional>

namespace twk::test {

/// Runs the main thread's Qt events until `done()` holds or `timeout` passes.
/// Returns `done()`.
inline bool spinUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace twk::test
