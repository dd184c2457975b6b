#pragma once

namespace twk {

/// The three things the agent needs the desktop to allow. On Linux/X11 there
/// are no per-application privacy prompts; each check answers whether the
/// capability is actually usable right now:
/// - microphone: the sound server is reachable and offers at least one input
///   that is not a monitor of an output;
/// - accessibility: the desktop's accessibility bus is enabled
///   (org.a11y.Status.IsEnabled), without which applications expose no tree;
/// - screen recording: this X display lets the program read screen pixels.
class Permissions {
public:
    virtual ~Permissions() = default;

    virtual bool microphoneGranted() = 0;
    virtual bool accessibilityGranted() = 0;
    virtual bool screenRecordingGranted() = 0;

    /// Turns the accessibility bus on (applications started afterwards expose
    /// their trees) and opens the desktop's accessibility settings.
    virtual void requestAccessibility() = 0;
    /// Nothing to prompt for on X11; opens the desktop's privacy settings.
    virtual void requestScreenRecording() = 0;
    /// Opens the desktop's sound settings, where inputs are chosen and unmuted.
    virtual void openSoundSettings() = 0;
};

} // namespace twk
