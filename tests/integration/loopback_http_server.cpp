#include "integration/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace twk::test {
namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void writeAll(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer(std::function<Response(const Request&)> respond) : respond_(std::move(respond))
{
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || pipe(stopPipe_) != 0)
        throw std::runtime_error("cannot start the loopback HTTP server");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    (void)!write(stopPipe_[1], "x", 1);
    thread_.join();
    close(listenFd_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

bool LoopbackHttpServer::waitForRequests(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void LoopbackHttpServer::serve()
{
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            handle(fd);
            close(fd);
        }
    }
}

void LoopbackHttpServer::handle(int fd)
{
    std::string data;
    char buf[8192];
    size_t headerEnd = std::string::npos;
    size_t contentLength = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        pollfd stop{stopPipe_[0], POLLIN, 0};
        pollfd both[2] = {p, stop};
        if (poll(both, 2, 5000) <= 0 || both[1].revents != 0) return;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        data.append(buf, static_cast<size_t>(n));
        if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
            const std::string head = lower(data.substr(0, headerEnd));
            if (const auto cl = head.find("\r\ncontent-length:"); cl != std::string::npos)
                contentLength = std::stoul(head.substr(cl + 17));
        }
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + contentLength) break;
    }
    Request request;
    const std::string head = data.substr(0, headerEnd);
    const auto lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const auto sp1 = requestLine.find(' ');
    const auto sp2 = requestLine.find(' ', sp1 + 1);
    request.method = requestLine.substr(0, sp1);
    request.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    for (size_t pos = lineEnd + 2; pos < head.size();) {
        auto next = head.find("\r\n", pos);
        if (next == std::string::npos) next = head.size();
        const std::string line = head.substr(pos, next - pos);
        if (const auto colon = line.find(':'); colon != std::string::npos) {
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers[lower(line.substr(0, colon))] = value;
        }
        pos = next + 2;
    }
    request.body = data.substr(headerEnd + 4, contentLength);
    const Response response = respond_(request);
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    arrived_.notify_all();
    if (response.delay.count() > 0) {
        pollfd stop{stopPipe_[0], POLLIN, 0};
        if (poll(&stop, 1, static_cast<int>(response.delay.count())) > 0) return;
    }
    writeAll(fd, "HTTP/1.1 " + std::to_string(response.status) + " X\r\nContent-Type: " + response.contentType +
                     "\r\nContent-Length: " + std::to_string(response.body.size()) +
                     "\r\nConnection: close\r\n\r\n" + response.body);
}

} // namespace twk::test
