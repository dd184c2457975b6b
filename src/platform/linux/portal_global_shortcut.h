#pragma once

#include "platform/global_shortcut.h"

#include <memory>

namespace twk {

/// A global shortcut through the desktop portal
/// (org.freedesktop.portal.GlobalShortcuts on the session bus): the desktop
/// binds it, may show the user a dialog to confirm or change the keys, and
/// lists it in its own keyboard settings. The combination is only the
/// preferred trigger; the desktop has the last word.
///
/// Its D-Bus replies and signals arrive through GLib's default main
/// context, which the Qt main loop runs on the main thread.
class PortalGlobalShortcut : public GlobalShortcut {
public:
    /// Nothing when no portal with global shortcuts answers on the session bus.
    static std::unique_ptr<PortalGlobalShortcut> open();
    ~PortalGlobalShortcut() override;

    void bind(const ShortcutKeys& combination, std::function<void()> onPressed,
              std::function<void(VoidResult)> onBound) override;

    struct State;

private:
    explicit PortalGlobalShortcut(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
};

} // namespace twk
