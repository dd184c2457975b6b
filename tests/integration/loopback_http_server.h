#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace twk::test {

/// A small HTTP/1.1 server on 127.0.0.1 owned by a test: it records every
/// request byte for byte and answers each with what `respond` returns.
class LoopbackHttpServer {
public:
    struct Request {
        std::string method;
        std::string target; // path and query, as sent
        std::map<std::string, std::string> headers; // names lower-cased
        std::string body;
    };
    struct Response {
        int status = 200;
        std::string body;
        std::string contentType = "application/json";
        std::chrono::milliseconds delay{0}; // before answering
    };

    explicit LoopbackHttpServer(std::function<Response(const Request&)> respond);
    ~LoopbackHttpServer();

    int port() const { return port_; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<Request> requests() const;
    /// Waits until at least `count` requests have arrived.
    bool waitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    void serve();
    void handle(int fd);

    std::function<Response(const Request&)> respond_;
    int listenFd_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Request> requests_;
    std::thread thread_;
};

} // namespace twk::test
