#include "accessibility/input_synthesis.h"
#include "accessibility/user_characters.h"

namespace twk {

Task<Expected<std::string>> InputSynthesis::pasteText(std::string text)
{
    // Checked before the clipboard is touched: a refused paste changes nothing.
    if (auto refused = refuseOwnWindow("paste")) co_return *refused;
    // A paste while an earlier one waits to restore: the user's own text is
    // the one that earlier paste remembered, not the text it pasted.
    std::optional<std::string> previous;
    if (pendingRestore_) {
        pendingRestore_->timer.invalidate();
        previous = std::move(pendingRestore_->previous);
        pendingRestore_.reset();
    } else {
        previous = s_.pasteboard.readString();
    }
    // Written over, not cleared first: a text the clipboard refuses leaves the user's in place.
    if (!s_.pasteboard.writeString(text)) co_return Error("twk.input", 8, "could not put the text on the clipboard");
    pendingRestore_ = PendingRestore{TimerHandle(), text, std::move(previous)};
    pendingRestore_->timer = s_.loop.after(pasteRestoreDelay, [this] { restoreClipboard(); });

    co_await sleepFor(s_.loop, std::chrono::milliseconds(60));
    auto press = pressKey("cmd+v", std::nullopt);
    Expected<std::string> pressed = co_await std::move(press);
    if (!pressed) co_return pressed.error();
    co_return "pasted " + std::to_string(userCharacters(text).size()) + " chars";
}

void InputSynthesis::restoreClipboard()
{
    if (!pendingRestore_) return;
    PendingRestore pending = std::move(*pendingRestore_);
    pendingRestore_.reset();
    // Text someone copied since belongs to the user now: leave it.
    if (s_.pasteboard.readString() != pending.pasted) return;
    s_.pasteboard.clear();
    if (pending.previous) s_.pasteboard.writeString(*pending.previous);
}

} // namespace twk
