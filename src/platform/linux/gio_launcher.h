#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace twk {

/// Starts applications and default handlers through GIO on a thread of its
/// own that runs a GLib main context, so that GIO's asynchronous parts
/// (D-Bus activation, its completion callbacks) finish without any loop of
/// the caller. Started programs are detached from us: GLib's double fork
/// leaves no child to reap, and each gets its own session with default
/// signal handling, so they outlive us and ignore our terminal's signals.
/// Their standard input, output and error are the null device, never ours.
/// Callable from any thread.
class GioLauncher {
public:
    /// `displayName` goes into the environment of every program started.
    explicit GioLauncher(std::string displayName);
    /// Cancels launches in flight (their completions report it) and joins.
    ~GioLauncher();
    GioLauncher(const GioLauncher&) = delete;
    GioLauncher& operator=(const GioLauncher&) = delete;

    using Completion = std::function<void(std::optional<std::string> error)>;
    /// Starts the desktop entry `desktopId` (with or without ".desktop");
    /// `completion` runs once, on the launcher's thread.
    void launch(const std::string& desktopId, Completion completion);
    /// Opens `url` in the default handler of its scheme, or of its content
    /// type for files. Waits only for the handler to be started.
    bool openURL(const std::string& url);

private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
};

} // namespace twk
