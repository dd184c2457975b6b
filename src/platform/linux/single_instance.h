#pragma once

#include "common/expected.h"
#include "tools/tool_result.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace twk {

/// One running application per user and X display.
///
/// The instance that holds an exclusive lock on
/// $XDG_RUNTIME_DIR/tarnwick/<display>.lock is the primary: it listens on the
/// local socket beside the lock. The folder is private to the user (0700).
///
/// One request per connection, in lines ending in "\n" of at most 1 MiB:
/// - URL handover (later launches, which then exit): "open <url>" lines,
///   then "end"; the primary answers "ok".
/// - Tool call (`tarnwick tool`): "tool {"name":…,"args":…}"; the primary
///   runs it and answers "result {"text":…}" (with "image" for an image
///   result) when it is done, however long that takes. A caller that leaves
///   first does not stop the tool; its answer is dropped.
/// Anything else (an unknown line, a line over the bound, no whole request
/// within 10 s, more than 64 connections at once) is answered
/// "error <reason>" and the connection is closed; nothing of it is acted on.
class SingleInstance : public QObject {
public:
    enum class Role { primary, secondary };
    /// Runs a handed-over tool call and gives its result to `answer`, on the main thread.
    using ToolRunner = std::function<void(std::string name, std::string args, std::function<void(ToolResult)> answer)>;

    SingleInstance();
    ~SingleInstance() override;

    /// Takes the lock, or waits up to `wait` for it (a relaunched instance
    /// waiting for the old one to quit).
    Expected<Role> acquire(std::chrono::milliseconds wait);

    /// Primary: where handed-over tool calls go; without it they are refused.
    void serveTools(ToolRunner runner) { toolRunner_ = std::move(runner); }
    /// Primary only: accepts handovers; `onUrls` runs on the main thread.
    VoidResult listen(std::function<void(std::vector<std::string>)> onUrls);

    /// Secondary: gives `urls` to the primary, retrying the connection until
    /// `timeout` while the primary is still starting.
    VoidResult handOver(const std::vector<std::string>& urls, std::chrono::milliseconds timeout) const;

    /// Any process: has the running primary run one tool call and waits for
    /// its result. Nothing when no primary listens (then the caller runs the
    /// tool itself); an error when the primary refused or vanished.
    static Expected<std::optional<ToolResult>> forwardTool(const std::string& name, const std::string& args);

    const std::string& socketPath() const { return socketPath_; }

private:
    struct Request;

    VoidResult locate();
    void serve(QLocalSocket* socket);
    void handleLine(QLocalSocket* socket, const std::shared_ptr<Request>& request, const std::string& line);

    std::string dir_;
    std::string lockPath_;
    std::string socketPath_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
    int connections_ = 0;
    std::function<void(std::vector<std::string>)> onUrls_;
    ToolRunner toolRunner_;
};

} // namespace twk
