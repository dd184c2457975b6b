#include "tools/desktop_chat_controls.h"

namespace twk {

Task<void> DesktopChatControls::press(std::string combination)
{
    co_await onMain(loop_);
    auto pressing = input_.pressKey(std::move(combination), std::nullopt);
    co_await std::move(pressing); // a key that failed still lets the procedure go on
}

Task<void> DesktopChatControls::paste(std::string text)
{
    co_await onMain(loop_);
    auto pasting = input_.pasteText(std::move(text));
    co_await std::move(pasting);
}

Task<bool> DesktopChatControls::windowShows(int pid, std::string text)
{
    if (marks_ == nullptr) co_return false;
    co_await onWorker(marks_->service().thread());
    const bool shows = marks_->focusedWindowContainsText(pid, text);
    co_await onMain(loop_);
    co_return shows;
}

} // namespace twk
