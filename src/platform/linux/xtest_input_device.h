#pragma once

#include "platform/input.h"

#include <memory>
#include <mutex>
#include <vector>

struct _XDisplay;

namespace twk {

class XKeymap;

/// Input for the X display through the XTest extension: events enter the
/// server as if from the real keyboard and mouse, so they reach whichever
/// window has the focus or lies under the pointer. Characters the layout
/// lacks are typed through keys lent to them for the run (XKeymap).
/// Keys and buttons still held when it is destroyed are released.
/// Thread-safe: calls are serialised.
class XTestInputDevice : public InputDevice {
public:
    /// Connects to the display of $DISPLAY on first use; without one every
    /// call fails.
    XTestInputDevice();
    ~XTestInputDevice() override;
    XTestInputDevice(const XTestInputDevice&) = delete;
    XTestInputDevice& operator=(const XTestInputDevice&) = delete;

    bool usable() override;
    bool postKey(int virtualKey, bool down, uint64_t modifierFlags) override;
    void releaseHeldKeys() override;
    CharacterBatch prepareCharacters(const std::vector<std::string>& upcoming) override;
    bool postCharacter(const std::string& character) override;
    void finishCharacters() override;
    Duration keyboardSettleTime() const override;
    std::optional<uint64_t> askTargetToConfirm() override;
    bool targetConfirmed(uint64_t ticket) override;
    bool postMouseButton(MouseButton button, bool down, ScreenPoint at, int clickState) override;
    bool postScroll(int32_t linesDown, int32_t linesRight) override;
    std::optional<ScreenPoint> pointerLocation() override;
    bool focusIsOwnWindow() override;
    bool isOwnWindowAt(ScreenPoint at) override;

private:
    /// Opens the display on first use; false when there is none.
    bool connected();
    bool pressKeysym(unsigned long keysym, bool down);
    bool fakeKey(unsigned keycode, bool down);
    bool fakeButton(unsigned button, bool down);
    void releaseAllLocked();
    /// Reads the events that reached our connection (keyboard-mapping
    /// notices, ping answers) so that none piles up.
    void drainEvents();
    void refreshKeymap();
    /// The top-level window holding the keyboard focus that answers pings.
    unsigned long pingableFocusWindow();

    std::mutex mutex_;
    bool opened_ = false;
    ::_XDisplay* display_ = nullptr;
    std::unique_ptr<XKeymap> keymap_;
    std::vector<unsigned> heldKeys_;
    std::vector<unsigned> heldButtons_;
    uint64_t lastTicket_ = 0;
    uint64_t confirmedTicket_ = 0;
    bool watchingRoot_ = false;
    bool keymapStale_ = true;
    /// A key was lent to a key press's symbol (one the layout lacks).
    bool lentForPress_ = false;
};

} // namespace twk
