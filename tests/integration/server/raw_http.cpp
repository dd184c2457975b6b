#include "integration/server/raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace twk::test {

RawConnection::RawConnection(int port)
{
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) throw std::runtime_error("connect failed");
}

RawConnection::~RawConnection() { close(fd_); }

bool RawConnection::write(const std::string& bytes)
{
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

bool RawConnection::fill(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return false;
    char chunk[65536];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
        eof_ = true;
        return false;
    }
    buffer_.append(chunk, size_t(n));
    return true;
}

RawResponse RawConnection::read(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    size_t headEnd;
    while ((headEnd = buffer_.find("\r\n\r\n")) == std::string::npos)
        if (eof_ || !fill(deadline)) return {};
    RawResponse r;
    const std::string head = buffer_.substr(0, headEnd);
    r.status = std::stoi(head.substr(9, 3));
    for (size_t at = head.find("\r\n"); at != std::string::npos;) {
        const size_t next = head.find("\r\n", at + 2);
        const std::string line = head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
        const size_t colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
        r.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
        at = next;
    }
    const size_t length = r.headers.count("content-length") ? std::stoul(r.headers["content-length"]) : 0;
    while (buffer_.size() < headEnd + 4 + length)
        if (eof_ || !fill(deadline)) break;
    r.body = buffer_.substr(headEnd + 4, length);
    buffer_.erase(0, std::min(buffer_.size(), headEnd + 4 + length));
    if (buffer_.empty()) {
        // Closed: an orderly end of stream follows the answer promptly.
        const auto soon = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.headers["connection"] == "close" ? 3000 : 50);
        while (!eof_ && fill(soon)) {
        }
        r.closedByServer = eof_;
    }
    return r;
}

std::optional<std::string> RawConnection::readToEnd(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!eof_)
        if (!fill(deadline) && !eof_) return std::nullopt;
    return std::exchange(buffer_, std::string());
}

RawResponse rawRequest(int port, const std::string& bytes)
{
    RawConnection c(port);
    c.write(bytes);
    return c.read();
}

} // namespace twk::test
