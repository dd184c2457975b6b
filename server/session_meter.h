#pragma once

#include "usage_service.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

namespace twk::server {

/// Meters one realtime session's connected time on the server: the seconds
/// are added to the installation's usage as they pass (every few seconds and
/// at the end), and `exhausted` is called once the month's quota is used up.
class SessionMeter : public QObject {
public:
    SessionMeter(UsageService& usage, std::string userId, std::function<void()> exhausted, QObject* parent);
    ~SessionMeter() override;

    static constexpr int maxTickMs = 2'000;

private:
    void tick();
    void schedule(double remainingSeconds);

    UsageService& usage_;
    std::string userId_;
    std::function<void()> exhausted_;
    QElapsedTimer sinceLast_;
    QTimer timer_;
    bool ended_ = false;
};

} // namespace twk::server
