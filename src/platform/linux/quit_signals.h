#pragma once

#include <QObject>

#include <functional>

namespace twk {

/// Turns SIGINT and SIGTERM into a normal quit of the Qt event loop, so
/// that shutdown runs (usage report, sockets closed) instead of dying.
/// `onQuit` replaces the plain quit when the program has work to finish first.
class QuitSignals : public QObject {
public:
    explicit QuitSignals(std::function<void()> onQuit = {});
    ~QuitSignals() override;
};

} // namespace twk
