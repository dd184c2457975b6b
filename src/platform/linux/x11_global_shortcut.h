#pragma once

#include "platform/global_shortcut.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct xcb_connection_t;
class QSocketNotifier;

namespace twk {

/// A global shortcut as an X11 passive grab of the key on the root window,
/// on a connection of its own whose events the Qt main loop reads. The grab
/// is repeated with Caps Lock and Num Lock on, so those do not break it; an
/// X server that refuses a grab (BadAccess) means another program holds the
/// combination.
class X11GlobalShortcut : public QObject, public GlobalShortcut {
public:
    /// `displayName` empty: $DISPLAY.
    explicit X11GlobalShortcut(std::string displayName = {});
    ~X11GlobalShortcut() override;

    void bind(const ShortcutKeys& combination, std::function<void()> onPressed,
              std::function<void(VoidResult)> onBound) override;

private:
    struct Grab {
        uint8_t keycode;
        uint16_t modifiers;
    };

    VoidResult connectOnce();
    VoidResult grab(const ShortcutKeys& combination);
    void release();
    void readEvents();

    std::string displayName_;
    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Grab> grabs_;
    uint16_t modifiers_ = 0;
    uint16_t ignoredModifiers_ = 0;
    uint32_t lastRelease_ = 0;
    std::function<void()> onPressed_;
};

} // namespace twk
