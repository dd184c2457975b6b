#include "read_gate.h"

#include <QMetaObject>

namespace twk::server {

void ReadGate::close()
{
    QAbstractSocket* transport = transport_.data();
    if (closed_ || transport == nullptr) return;
    closed_ = true;
    transport->setReadBufferSize(closedBufferBytes);
    transport->blockSignals(true);
}

void ReadGate::open()
{
    if (!closed_) return;
    closed_ = false;
    QAbstractSocket* transport = transport_.data();
    if (transport == nullptr) return;
    transport->blockSignals(false);
    // Setting the size again restarts reading from the kernel when the buffer was full.
    transport->setReadBufferSize(closedBufferBytes + 1);
    transport->setReadBufferSize(0);
    // Data (and a close frame) may have arrived while the signal was blocked.
    QMetaObject::invokeMethod(transport, &QIODevice::readyRead, Qt::QueuedConnection);
    // So may the end of the connection: tell the WebSocket layer after it has read the rest.
    QMetaObject::invokeMethod(transport, [transport] {
        if (transport->state() == QAbstractSocket::UnconnectedState) emit transport->stateChanged(QAbstractSocket::UnconnectedState);
    }, Qt::QueuedConnection);
}

} // namespace twk::server
