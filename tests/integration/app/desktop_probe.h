#pragma once

// Reads what the X server and the session bus show of a running program:
// its windows (by title), the active window, and its tray item.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace twk::test {

struct WindowInfo {
    unsigned long id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
};

/// The top-level window titled `title`, as xwininfo sees it.
std::optional<WindowInfo> windowTitled(const std::string& title);
/// The window manager's _NET_ACTIVE_WINDOW (0 when none).
unsigned long activeWindow();
/// One property of a window, as xprop prints it.
std::string windowProperty(unsigned long id, const std::string& property);

/// A real left click at a global point, through XTest, as the user's mouse makes one.
void clickAt(int x, int y);

/// Writes what the whole screen shows as a PNG; false when it could not.
bool saveScreenshot(const std::string& path);

/// Polls `condition` until it holds or `timeout` passes.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

/// A StatusNotifierItem on the session bus.
class TrayItem {
public:
    TrayItem(QString service, QString path) : service_(std::move(service)), path_(std::move(path)) {}

    QVariant property(const QString& name) const;
    /// The bytes of the item's largest icon pixmap (empty when it has none).
    QByteArray largestIcon() const;
    void activate() const;
    /// Clicks the entry labelled `label` in the item's exported menu.
    bool clickMenuEntry(const QString& label) const;

private:
    QString service_;
    QString path_;
};

} // namespace twk::test
