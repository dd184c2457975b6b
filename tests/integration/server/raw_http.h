#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace twk::test {

struct RawResponse {
    int status = 0;
    std::map<std::string, std::string> headers; // names lower-cased
    std::string body;
    bool closedByServer = false; // the server ended the connection after this answer
};

/// A blocking TCP connection to 127.0.0.1 that writes bytes exactly as given
/// and reads answers one at a time: for requests the application's client
/// would never send.
class RawConnection {
public:
    explicit RawConnection(int port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    /// False when the server stopped taking the bytes (closed or reset).
    bool write(const std::string& bytes);
    /// The next response (status 0 when none came before the timeout or the close).
    RawResponse read(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Everything else until the server closes (empty optional on time-out).
    std::optional<std::string> readToEnd(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    bool fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string buffer_;
    bool eof_ = false;
};

/// One request on a fresh connection.
RawResponse rawRequest(int port, const std::string& bytes);

} // namespace twk::test
