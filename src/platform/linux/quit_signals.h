#pragma once

#include <QObject>

namespace twk {

/// Turns SIGINT and SIGTERM into a normal quit of the Qt event loop, so
/// that shutdown runs (usage report, sockets closed) instead of dying.
class QuitSignals : public QObject {
public:
    QuitSignals();
    ~QuitSignals() override;
};

} // namespace twk
