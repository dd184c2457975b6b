#pragma once

namespace twk {

/// The voice session as the power switch sees it.
class SessionControl {
public:
    virtual ~SessionControl() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
};

} // namespace twk
