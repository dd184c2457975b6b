#pragma once

#include "platform/http.h"

#include <mutex>
#include <vector>

namespace twk::test {

/// Records requests; answers each at once with what `respond` returns, or
/// keeps the callback for the test to answer later when `respond` is unset.
class FakeHttpClient : public HttpClient {
public:
    std::function<Expected<HttpResponse>(const HttpRequest&)> respond;

    void send(HttpRequest request, std::function<void(Expected<HttpResponse>)> done) override
    {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
            if (!respond) {
                pending_.push_back(std::move(done));
                return;
            }
        }
        done(respond(request));
    }

    std::vector<HttpRequest> requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    HttpRequest last() const { return requests().back(); }

    std::vector<std::function<void(Expected<HttpResponse>)>> takePending()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(pending_, {});
    }

    static Expected<HttpResponse> reply(int status, std::string body = "") { return HttpResponse{status, std::move(body)}; }

private:
    mutable std::mutex mutex_;
    std::vector<HttpRequest> requests_;
    std::vector<std::function<void(Expected<HttpResponse>)>> pending_;
};

} // namespace twk::test
