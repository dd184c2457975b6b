#pragma once

#include "platform/permissions.h"

namespace twk {

/// Checks against the live desktop: the PulseAudio/PipeWire server for the
/// microphone, the AT-SPI bus status on the session bus for accessibility,
/// and a one-pixel read of the X root window for screen capture. Each check
/// gives up after a short time-out, so a hung service cannot stall the UI.
class LinuxPermissions : public Permissions {
public:
    bool microphoneGranted() override;
    bool accessibilityGranted() override;
    bool screenRecordingGranted() override;
    void requestAccessibility() override;
    void requestScreenRecording() override;
    void openSoundSettings() override;
};

} // namespace twk
