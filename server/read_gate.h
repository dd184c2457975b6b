#pragma once

#include <QAbstractSocket>
#include <QPointer>

namespace twk::server {

/// Stops and restarts the reading of one WebSocket's frames. Closed, Qt's
/// WebSocket layer is not told that data arrived, and the socket's buffer
/// stops taking more from the kernel, so the sending peer is held back by TCP
/// itself instead of by our memory.
class ReadGate {
public:
    explicit ReadGate(QAbstractSocket* transport = nullptr) : transport_(transport) {}

    void attach(QAbstractSocket* transport) { transport_ = transport; }
    bool attached() const { return !transport_.isNull(); }
    bool isClosed() const { return closed_; }
    void close();
    /// Resumes reading and has what arrived meanwhile processed.
    void open();

    /// What the socket buffers while the gate is closed.
    static constexpr qint64 closedBufferBytes = 64 * 1024;

private:
    QPointer<QAbstractSocket> transport_;
    bool closed_ = false;
};

} // namespace twk::server
