#include "platform/linux/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

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

constexpr qint64 maxMessageBytes = 256 * 1024;

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

} // namespace

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    if (server_ != nullptr) {
        server_->close();
        QLocalServer::removeServer(QString::fromStdString(socketPath_));
    }
    if (lockFd_ >= 0) close(lockFd_);
}

Expected<SingleInstance::Role> SingleInstance::acquire(std::chrono::milliseconds wait)
{
    auto dir = privateDir();
    if (!dir) return dir.error();
    dir_ = dir.value();
    lockPath_ = dir_ + "/" + displayKey() + ".lock";
    socketPath_ = dir_ + "/" + displayKey() + ".sock";

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
    auto urls = std::make_shared<std::vector<std::string>>();
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket, urls] {
        while (socket->canReadLine()) {
            const std::string line = socket->readLine().trimmed().toStdString();
            if (line.starts_with("open ")) {
                urls->push_back(line.substr(5));
            } else if (line == "end") {
                socket->write("ok\n");
                socket->flush();
                socket->disconnectFromServer();
                if (onUrls_) onUrls_(std::move(*urls));
                urls->clear();
                return;
            }
        }
        if (socket->bytesAvailable() > maxMessageBytes) socket->abort();
    });
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

} // namespace twk
