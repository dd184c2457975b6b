#pragma once

#include <QObject>

#include <functional>
#include <string>

namespace twk {

/// Turns SIGINT and SIGTERM into a normal quit of the Qt event loop, so
/// that shutdown runs (usage report, sockets closed) instead of dying.
/// `tag` starts the log line that names the signal; `onQuit` replaces the
/// plain quit when the program has work to finish first.
class QuitSignals : public QObject {
public:
    explicit QuitSignals(std::string tag = "[twk]", std::function<void()> onQuit = {});
    ~QuitSignals() override;
};

} // namespace twk
