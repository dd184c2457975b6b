#pragma once

#include "accessibility/capture_geometry.h"
#include "common/expected.h"
#include "common/main_loop.h"
#include "common/task.h"
#include "platform/input.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"
#include "skills/skills.h"

#include <cstdint>
#include <optional>
#include <string>

namespace twk {

enum class ClickKind { left, right, doubleClick };

/// "left", "right" or "double"; nothing for any other text.
std::optional<ClickKind> parseClickKind(const std::string& name);
std::string clickKindName(ClickKind kind);

/// Keys, typing, pasting, clicks and scrolling on the user's desktop. Each
/// operation answers a short sentence for a language model, or an error of
/// domain "twk.input". Runs on the main loop; waits suspend the calling
/// task on the loop's clock. One operation at a time.
class InputSynthesis {
public:
    struct Services {
        MainLoop& loop;
        InputDevice& device;
        Pasteboard& pasteboard;
        Workspace& workspace;
        Skills& skills;
        CaptureGeometry& geometry;
    };

    /// Pause after each typed character, so that targets drop none.
    static constexpr Duration typingPace = std::chrono::milliseconds(6);
    /// How long the pasted text stays on the clipboard before the previous
    /// text comes back.
    static constexpr Duration pasteRestoreDelay = std::chrono::milliseconds(700);
    /// The longest wait for the target to confirm it has read typed keys.
    static constexpr Duration confirmLimit = std::chrono::seconds(2);
    /// Scrolling is posted line by line: more than this many at once are
    /// clamped rather than hold the desktop for minutes.
    static constexpr int64_t maxScrollLines = 1000;

    explicit InputSynthesis(const Services& services) : s_(services) {}
    ~InputSynthesis();
    InputSynthesis(const InputSynthesis&) = delete;
    InputSynthesis& operator=(const InputSynthesis&) = delete;

    /// Brings `inApp` forward when it names a running application (waiting
    /// up to 0.6 s), then presses the combination.
    Task<Expected<std::string>> pressKey(std::string combination, std::optional<std::string> inApp);
    /// Types each character as itself, whatever the keyboard layout.
    Task<Expected<std::string>> typeText(std::string text);
    /// Puts the text on the clipboard, presses the paste key, and puts the
    /// previous clipboard text back shortly after.
    Task<Expected<std::string>> pasteText(std::string text);
    /// Clicks at pixel (x, y) of the last screenshot.
    Expected<std::string> clickAt(double x, double y, ClickKind kind);
    /// Scrolls the window under the pointer by lines.
    Expected<std::string> scroll(int64_t deltaY, int64_t deltaX);

    /// Whether a paste still waits to put the previous clipboard text back.
    bool restorePending() const { return pendingRestore_.has_value(); }

private:
    struct PendingRestore {
        TimerHandle timer;
        std::string pasted;
        std::optional<std::string> previous;
    };

    std::optional<Error> refuseOwnWindow(const std::string& what);
    std::string frontmostName();
    Expected<std::string> postCombination(const std::string& combination);
    void restoreClipboard();
    /// Waits until the focused application has read what was typed so far.
    Task<void> targetCaughtUp();

    Services s_;
    std::optional<PendingRestore> pendingRestore_;
};

} // namespace twk
