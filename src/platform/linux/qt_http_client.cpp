#include "platform/linux/qt_http_client.h"

#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <memory>

namespace twk {
namespace {

/// Requests carry no cookies, whatever a server sets.
class NoCookies : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
};

} // namespace

QtHttpClient::QtHttpClient()
{
    thread_.setObjectName("com.tarnwick.http");
    context_ = new QObject;
    context_->moveToThread(&thread_);
    queue_ = std::make_unique<QtThreadQueue>(context_);
    thread_.start();
}

QtHttpClient::~QtHttpClient()
{
    // Replies and their callbacks are children of the context: deleting it on
    // its own thread drops them.
    QMetaObject::invokeMethod(context_, [ctx = context_] { delete ctx; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    queue_.reset(); // after the thread: nothing can drain it any more
}

void QtHttpClient::send(HttpRequest request, std::function<void(Expected<HttpResponse>)> done)
{
    queue_->post([this, request = std::move(request), done = std::move(done)]() mutable {
        start(std::move(request), std::move(done));
    });
}

void QtHttpClient::start(HttpRequest request, std::function<void(Expected<HttpResponse>)> done)
{
    if (manager_ == nullptr) {
        manager_ = new QNetworkAccessManager(context_);
        manager_->setCookieJar(new NoCookies(manager_));
    }
    QNetworkRequest req(QUrl(QString::fromStdString(request.url)));
    for (const auto& [name, value] : request.headers)
        req.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    req.setTransferTimeout(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(request.timeout).count()));
    const QByteArray verb = QByteArray::fromStdString(request.method);
    QNetworkReply* reply = request.body ? manager_->sendCustomRequest(req, verb, QByteArray::fromStdString(*request.body))
                                        : manager_->sendCustomRequest(req, verb);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, done = std::move(done)] {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid()) {
            done(HttpResponse{status.toInt(), reply->readAll().toStdString()});
            return;
        }
        // After a failed TLS handshake the manager keeps failing until its
        // connections are dropped.
        manager_->clearConnectionCache();
        done(Error("twk.network", static_cast<int>(reply->error()), reply->errorString().toStdString()));
    });
}

} // namespace twk
