#pragma once

#include "app/app_state.h"
#include "common/observable.h"

#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace twk::ui {

class UsageBarWidget;

/// What the popover's controls do beyond writing the state; the composition
/// root wires them to the audio service, the permissions, the relauncher.
struct PopoverActions {
    std::function<void(const std::string& url)> openUrl;
    std::function<std::string()> signInLink;
    std::function<std::string()> dashboardLink;
    std::function<void()> openSoundSettings;
    std::function<void()> requestAccessibility;
    std::function<void()> requestScreenRecording;
    std::function<void()> relaunch;
    std::function<void()> quit;
    /// (unique id, name) of each microphone the sound server offers.
    std::function<std::vector<std::pair<std::string, std::string>>()> availableMics;
    std::function<std::string()> selectedMicID;
    /// Stores the choice ("" = system default) and moves capture to it.
    std::function<void(const std::string& id)> chooseMic;
};

/// The panel that drops down from the tray item: account, power, status,
/// missing permissions, reply style, microphone and voice, minutes left,
/// the last exchange, Quit. A frameless popup 320 wide that closes on a
/// click elsewhere or Escape.
class PopoverView : public QWidget {
public:
    static constexpr int panelWidth = 320;

    PopoverView(AppState& state, PopoverActions actions, QWidget* parent = nullptr);

    /// Opens the panel with its top-right corner at `topRight` (global),
    /// kept on the screen that holds that point.
    void popUpAt(const QPoint& topRight);
    bool settingsOpen() const { return settingsOpen_; }
    /// Called when the panel closes by any route (click elsewhere, Escape, toggle).
    std::function<void()> onClosed;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void build();
    QWidget* buildPermissionBlock(const QString& title, const QString& note,
                                  std::vector<std::pair<QString, std::function<void()>>> buttons);
    void refresh();
    void refreshMics();
    void scheduleRefresh();

    AppState& state_;
    PopoverActions actions_;
    Subscription changes_;
    bool settingsOpen_ = false;
    bool refreshPending_ = false;

    QToolButton* gear_ = nullptr;
    QWidget* micBlock_ = nullptr;
    QWidget* accessibilityBlock_ = nullptr;
    QWidget* screenBlock_ = nullptr;
    QLabel* shortcutProblem_ = nullptr;
    QLabel* identity_ = nullptr;
    QPushButton* power_ = nullptr;
    QLabel* status_ = nullptr;
    std::vector<QPushButton*> styles_;
    QWidget* settings_ = nullptr;
    QComboBox* mic_ = nullptr;
    QLabel* micNote_ = nullptr;
    QComboBox* voice_ = nullptr;
    QLabel* minutes_ = nullptr;
    QLabel* planLine_ = nullptr;
    UsageBarWidget* usageBar_ = nullptr;
    QWidget* transcript_ = nullptr;
    QLabel* you_ = nullptr;
    QLabel* assistant_ = nullptr;
};

} // namespace twk::ui
