#include "accessibility/input_synthesis.h"

#include "accessibility/key_combination.h"
#include "common/log.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

namespace twk {
namespace {

Error inputError(int code, const std::string& description) { return Error("twk.input", code, description); }

/// A coordinate as the log shows it: always with a decimal point (512.0).
std::string pointText(double v)
{
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    std::string s(buf, end);
    if (std::isfinite(v) && s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string truncatedText(double v)
{
    if (!std::isfinite(v)) return "0";
    return std::to_string(static_cast<long long>(std::clamp(v, -9.0e18, 9.0e18)));
}

} // namespace

std::optional<ClickKind> parseClickKind(const std::string& name)
{
    if (name == "left") return ClickKind::left;
    if (name == "right") return ClickKind::right;
    if (name == "double") return ClickKind::doubleClick;
    return std::nullopt;
}

std::string clickKindName(ClickKind kind)
{
    switch (kind) {
    case ClickKind::left: return "left";
    case ClickKind::right: return "right";
    case ClickKind::doubleClick: return "double";
    }
    return "left";
}

InputSynthesis::~InputSynthesis()
{
    if (pendingRestore_) pendingRestore_->timer.invalidate();
}

std::optional<Error> InputSynthesis::refuseOwnWindow(const std::string& what)
{
    // Keys meant for another application would land in our own panel.
    if (!s_.device.focusIsOwnWindow()) return std::nullopt;
    return inputError(7, what + " refused: the focused window is Tarnwick's own; bring the target application forward first");
}

std::string InputSynthesis::frontmostName()
{
    // Only for the log line: a desktop that cannot say must not turn a key
    // that was pressed into a failure.
    try {
        const auto pid = s_.workspace.frontmostApplicationPid();
        if (!pid) return "?";
        for (const auto& app : s_.workspace.runningApplications())
            if (app.pid == *pid) return app.localizedName.value_or("?");
    } catch (const std::exception&) {
    }
    return "?";
}

Task<Expected<std::string>> InputSynthesis::pressKey(std::string combination, std::optional<std::string> inApp)
{
    if (inApp && !inApp->empty()) {
        if (const auto app = s_.skills.findRunningApp(*inApp)) {
            s_.workspace.activate(app->pid);
            auto wait = s_.skills.waitForFrontmost(app->pid, 0.6);
            co_await std::move(wait);
        }
    }
    // Logged after posting: naming the frontmost application asks the
    // desktop about every window, which the key should not wait for.
    auto pressed = postCombination(combination);
    logLine("[twk] pressKey '" + combination + "' (frontmost=" + frontmostName() + ")");
    co_return pressed;
}

Expected<std::string> InputSynthesis::postCombination(const std::string& combination)
{
    const auto parsed = parseKeyCombination(combination);
    if (!parsed) return parsed.error();
    if (auto refused = refuseOwnWindow("key press")) return *refused;
    const KeyCombination& key = parsed.value();
    const bool down = s_.device.postKey(key.keyCode, true, key.modifierFlags);
    const bool up = down && s_.device.postKey(key.keyCode, false, key.modifierFlags);
    if (!up) {
        s_.device.releaseHeldKeys(); // never leave a modifier held
        return inputError(3, "could not create key event");
    }
    return "pressed " + combination;
}

Expected<std::string> InputSynthesis::clickAt(double x, double y, ClickKind kind)
{
    const ScreenPoint at = s_.geometry.toScreen(x, y);
    logLine("[twk] clickAt model=(" + pointText(x) + "," + pointText(y) + ") → screen=(" + pointText(at.x) + "," +
            pointText(at.y) + ") kind=" + clickKindName(kind));
    if (s_.device.isOwnWindowAt(at))
        return inputError(11, "click refused: the point is on Tarnwick's own window; click the target application instead");
    const MouseButton button = kind == ClickKind::right ? MouseButton::right : MouseButton::left;
    const int clickState = kind == ClickKind::doubleClick ? 2 : 1;
    const int clicks = kind == ClickKind::doubleClick ? 2 : 1;
    for (int i = 0; i < clicks; ++i) {
        if (!s_.device.postMouseButton(button, true, at, clickState)) return inputError(10, "click event create failed");
        if (!s_.device.postMouseButton(button, false, at, clickState)) {
            // A button left down would turn the user's next move into a drag.
            s_.device.postMouseButton(button, false, at, clickState);
            return inputError(10, "click event create failed");
        }
    }
    return "clicked " + clickKindName(kind) + " at (" + truncatedText(x) + "," + truncatedText(y) + ")";
}

Expected<std::string> InputSynthesis::scroll(int64_t deltaY, int64_t deltaX)
{
    const int64_t dy = std::clamp(deltaY, -maxScrollLines, maxScrollLines);
    const int64_t dx = std::clamp(deltaX, -maxScrollLines, maxScrollLines);
    // Wheel events go to the window under the pointer.
    if (const auto pointer = s_.device.pointerLocation(); pointer && s_.device.isOwnWindowAt(*pointer))
        return inputError(11, "scroll refused: the pointer is on Tarnwick's own window");
    if (!s_.device.postScroll(static_cast<int32_t>(dy), static_cast<int32_t>(dx)))
        return inputError(6, "scroll event create failed");
    return "scrolled dy=" + std::to_string(dy) + " dx=" + std::to_string(dx);
}

} // namespace twk
