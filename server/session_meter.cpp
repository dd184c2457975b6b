#include "session_meter.h"

#include "common/error.h"
#include "common/log.h"

#include <algorithm>
#include <cmath>

namespace twk::server {

SessionMeter::SessionMeter(UsageService& usage, std::string userId, std::function<void()> exhausted, QObject* parent)
    : QObject(parent), usage_(usage), userId_(std::move(userId)), exhausted_(std::move(exhausted))
{
    sinceLast_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &SessionMeter::tick);
    schedule(usage_.status(userId_).remainingSeconds);
}

SessionMeter::~SessionMeter()
{
    try {
        usage_.meter(userId_, double(sinceLast_.elapsed()) / 1000);
    } catch (const Error& e) {
        logLine("[twk/server] metering the end of a session failed: " + e.description());
    }
}

void SessionMeter::schedule(double remainingSeconds)
{
    timer_.start(int(std::clamp(std::ceil(remainingSeconds * 1000), 50.0, double(maxTickMs))));
}

void SessionMeter::tick()
{
    double remaining = 0;
    try {
        remaining = usage_.meter(userId_, double(sinceLast_.restart()) / 1000).remainingSeconds;
    } catch (const Error& e) {
        logLine("[twk/server] metering a session failed: " + e.description());
        return schedule(maxTickMs / 1000.0);
    }
    if (remaining > 0) return schedule(remaining);
    if (!ended_) {
        ended_ = true;
        exhausted_();
    }
}

} // namespace twk::server
