#include "platform/linux/single_instance.h"

#include "common/log.h"
#include "platform/linux/instance_messages.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace twk {
namespace {

constexpr qint64 maxLineBytes = 1024 * 1024;
constexpr int maxConnections = 64;
constexpr size_t maxUrls = 256;
constexpr auto requestTimeout = std::chrono::seconds(10);
constexpr int connectTimeoutMs = 2000;

Error instanceError(const std::string& what)
{
    return Error("twk.instance", errno, what + ": " + std::strerror(errno));
}

std::string displayKey()
{
    std::string key = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
    for (char& c : key)
        if (c == '/' || c == ':') c = '_';
    return key.empty() ? "nodisplay" : "display" + key;
}

/// A private folder for the lock and socket: $XDG_RUNTIME_DIR/tarnwick, or
/// /tmp/tarnwick-<uid> when the session has no runtime folder. An existing
/// folder must be ours and closed to others.
Expected<std::string> privateDir()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = runtime != nullptr && *runtime != '\0'
                                ? std::string(runtime) + "/tarnwick"
                                : "/tmp/tarnwick-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return instanceError("cannot create " + dir);
    struct stat st{};
    if (lstat(dir.c_str(), &st) != 0) return instanceError("cannot read " + dir);
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0)
        return Error("twk.instance", EPERM, dir + " is not a private folder of this user");
    return dir;
}

void refuse(QLocalSocket* socket, bool& finished, const std::string& reason)
{
    finished = true;
    socket->write(QByteArray::fromStdString("error " + reason + "\n"));
    socket->disconnectFromServer();
}

} // namespace

/// One connection's request as far as it has come.
struct SingleInstance::Request {
    std::vector<std::string> urls;
    bool finished = false; // answered, or a tool call under way: later input is ignored
};

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    if (server_ != nullptr) {
        server_->close();
        // Its connections go with it, while this object is still whole.
        delete server_;
        QLocalServer::removeServer(QString::fromStdString(socketPath_));
    }
    if (lockFd_ >= 0) close(lockFd_);
}

VoidResult SingleInstance::locate()
{
    auto dir = privateDir();
    if (!dir) return dir.error();
    dir_ = dir.value();
    lockPath_ = dir_ + "/" + displayKey() + ".lock";
    socketPath_ = dir_ + "/" + displayKey() + ".sock";
    return Unit{};
}

Expected<SingleInstance::Role> SingleInstance::acquire(std::chrono::milliseconds wait)
{
    if (auto located = locate(); !located) return located.error();

    // Close-on-exec: a relaunched child must not inherit (and so keep) the lock.
    lockFd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return instanceError("cannot open " + lockPath_);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return Role::primary;
        if (errno != EWOULDBLOCK) return instanceError("cannot lock " + lockPath_);
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    close(lockFd_);
    lockFd_ = -1;
    return Role::secondary;
}

VoidResult SingleInstance::listen(std::function<void(std::vector<std::string>)> onUrls)
{
    onUrls_ = std::move(onUrls);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left here belongs to a dead instance.
    QLocalServer::removeServer(QString::fromStdString(socketPath_));
    if (!server_->listen(QString::fromStdString(socketPath_)))
        return Error("twk.instance", 1, "cannot listen on " + socketPath_ + ": " + server_->errorString().toStdString());
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) serve(socket);
    });
    return Unit{};
}

void SingleInstance::serve(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<Request>();
    if (++connections_ > maxConnections) refuse(socket, request->finished, "too many connections");
    connect(socket, &QObject::destroyed, this, [this] { --connections_; });
    // A peer that connects and says nothing must not hold a place for ever.
    QTimer::singleShot(requestTimeout, socket, [socket, request] {
        if (!request->finished) refuse(socket, request->finished, "no whole request within 10 s");
    });
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, request] {
        while (!request->finished && socket->canReadLine()) {
            const QByteArray line = socket->readLine(maxLineBytes + 2);
            if (!line.endsWith('\n')) return refuse(socket, request->finished, "line longer than 1 MiB");
            handleLine(socket, request, line.trimmed().toStdString());
        }
        if (request->finished)
            socket->readAll();
        else if (socket->bytesAvailable() > maxLineBytes)
            refuse(socket, request->finished, "line longer than 1 MiB");
    });
}

void SingleInstance::handleLine(QLocalSocket* socket, const std::shared_ptr<Request>& request, const std::string& line)
{
    if (line.starts_with("open ")) {
        if (request->urls.size() >= maxUrls) return refuse(socket, request->finished, "more than 256 URLs");
        request->urls.push_back(line.substr(5));
    } else if (line == "end") {
        request->finished = true;
        socket->write("ok\n");
        socket->disconnectFromServer();
        if (onUrls_) onUrls_(std::move(request->urls));
    } else if (line.starts_with("tool ")) {
        if (!request->urls.empty()) return refuse(socket, request->finished, "a tool call inside a URL handover");
        if (!toolRunner_) return refuse(socket, request->finished, "this instance does not run tools");
        auto call = parseToolRequest(std::string_view(line).substr(5));
        if (!call) return refuse(socket, request->finished, call.error().description());
        request->finished = true;
        QPointer<QLocalSocket> caller(socket);
        std::string name = call.value().name;
        toolRunner_(std::move(call.value().name), std::move(call.value().args),
                    [caller, name](ToolResult result) {
                        if (caller.isNull() || caller->state() != QLocalSocket::ConnectedState) {
                            logLine("[twk] tool " + name + " finished after its caller left; answer dropped");
                            return;
                        }
                        caller->write(QByteArray::fromStdString(toolResultLine(result) + "\n"));
                        caller->disconnectFromServer();
                    });
    } else {
        refuse(socket, request->finished, "unknown request");
    }
}

VoidResult SingleInstance::handOver(const std::vector<std::string>& urls, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(QString::fromStdString(socketPath_));
        if (socket.waitForConnected(200)) break;
        if (std::chrono::steady_clock::now() >= deadline)
            return Error("twk.instance", 2,
                         "the running instance does not answer on " + socketPath_ + ": " +
                             socket.errorString().toStdString());
        socket.abort();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    QByteArray message;
    for (const auto& url : urls) message += "open " + QByteArray::fromStdString(url) + "\n";
    message += "end\n";
    socket.write(message);
    socket.flush();
    while (!socket.canReadLine()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !socket.waitForReadyRead(static_cast<int>(left.count())))
            return Error("twk.instance", 3, "the running instance did not confirm the handover");
    }
    if (socket.readLine().trimmed() != "ok") return Error("twk.instance", 4, "the running instance refused the handover");
    return Unit{};
}

Expected<std::optional<ToolResult>> SingleInstance::forwardTool(const std::string& name, const std::string& args)
{
    SingleInstance where;
    if (!where.locate()) return std::optional<ToolResult>();
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(where.socketPath_));
    // No socket, or a stale one of an instance that died: nobody to ask.
    if (!socket.waitForConnected(connectTimeoutMs)) return std::optional<ToolResult>();
    socket.write(QByteArray::fromStdString(toolRequestLine({name, args}) + "\n"));
    socket.flush();
    // A tool may take minutes (an agent task): wait for as long as it runs.
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(-1) && !socket.canReadLine())
            return Error("twk.instance", 5, "the running Tarnwick closed the connection before answering");
    const auto answer = parseToolAnswer(socket.readLine().chopped(1).toStdString());
    if (!answer) return Error("twk.instance", 6, "the running Tarnwick refused the call: " + answer.error().description());
    return std::optional<ToolResult>(answer.value());
}

} // namespace twk
