#pragma once

#include "common/expected.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace twk {

/// One running application per user and X display.
///
/// The instance that holds an exclusive lock on
/// $XDG_RUNTIME_DIR/tarnwick/<display>.lock is the primary: it listens on the
/// local socket beside the lock. Later launches are secondaries: they hand
/// their URLs over the socket ("open <url>" lines, then "end"; the primary
/// answers "ok") and exit. The folder is private to the user (0700).
class SingleInstance : public QObject {
public:
    enum class Role { primary, secondary };

    SingleInstance();
    ~SingleInstance() override;

    /// Takes the lock, or waits up to `wait` for it (a relaunched instance
    /// waiting for the old one to quit).
    Expected<Role> acquire(std::chrono::milliseconds wait);

    /// Primary only: accepts handovers; `onUrls` runs on the main thread.
    VoidResult listen(std::function<void(std::vector<std::string>)> onUrls);

    /// Secondary: gives `urls` to the primary, retrying the connection until
    /// `timeout` while the primary is still starting.
    VoidResult handOver(const std::vector<std::string>& urls, std::chrono::milliseconds timeout) const;

    const std::string& socketPath() const { return socketPath_; }

private:
    void serve(QLocalSocket* socket);

    std::string dir_;
    std::string lockPath_;
    std::string socketPath_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
    std::function<void(std::vector<std::string>)> onUrls_;
};

} // namespace twk
