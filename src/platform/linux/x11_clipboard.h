#pragma once

#include "platform/pasteboard.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace twk {

/// The X clipboard (the CLIPBOARD selection), plain text. On X the text
/// lives in the program that put it there: this one serves it to every
/// application that asks, from a thread and connection of its own, until
/// another program takes the clipboard or this object is destroyed. The
/// connection opens on first use.
class X11Clipboard : public Pasteboard {
public:
    X11Clipboard();
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    std::optional<std::string> readString() override;
    void clear() override;
    bool writeString(const std::string& text) override;

    /// Whether the clipboard's text is served by this object now.
    bool ownsClipboard();
    /// Asks the desktop's clipboard manager, when one runs, to keep a copy
    /// of the text this object serves, so that it outlives the process.
    /// True once the manager has taken it (within `timeout`).
    bool handOver(std::chrono::milliseconds timeout);

private:
    struct Connection;
    /// Runs `job` on the clipboard thread and waits for it.
    void call(const std::function<void(Connection&)>& job);
    void run();

    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<std::function<void(Connection&)>> jobs_;
    bool stopping_ = false;
    bool started_ = false;
    int wakeFd_ = -1;
    std::unique_ptr<Connection> connection_;
    std::thread thread_;
};

} // namespace twk
