#pragma once

#include <QObject>

#include <string>

namespace twk {

/// Turns SIGINT and SIGTERM into a normal quit of the Qt event loop, so
/// that shutdown runs (usage report, sockets closed) instead of dying.
class QuitSignals : public QObject {
public:
    /// `tag` starts the log line that names the signal.
    explicit QuitSignals(std::string tag = "[twk]");
    ~QuitSignals() override;
};

} // namespace twk
