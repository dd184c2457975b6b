#pragma once

#include "platform/http.h"

#include "platform/linux/qt_thread_queue.h"

#include <QThread>

#include <memory>

class QNetworkAccessManager;

namespace twk {

/// HTTP(S) on Qt Network, on a thread of its own so that slow requests never
/// wait on the main loop. Requests still in flight when it is destroyed are
/// abandoned: their callbacks are dropped uncalled.
class QtHttpClient : public HttpClient {
public:
    QtHttpClient();
    ~QtHttpClient() override;

    void send(HttpRequest request, std::function<void(Expected<HttpResponse>)> done) override;

private:
    void start(HttpRequest request, std::function<void(Expected<HttpResponse>)> done);

    QThread thread_;
    QObject* context_ = nullptr;       // lives on thread_
    std::unique_ptr<QtThreadQueue> queue_; // runs on thread_
    QNetworkAccessManager* manager_ = nullptr; // created on thread_
};

} // namespace twk
