#pragma once

#include "accessibility/input_synthesis.h"
#include "accessibility/mark_actions.h"
#include "skills/chat_controls.h"

namespace twk {

/// The chat procedure's keys and pastes through the desktop's input, and its
/// look at the window through the accessibility tree. Without `marks` no
/// window can be read, so no recipient is ever confirmed.
class DesktopChatControls : public ChatControls {
public:
    DesktopChatControls(MainLoop& loop, InputSynthesis& input, MarkActions* marks)
        : loop_(loop), input_(input), marks_(marks)
    {
    }

    Task<void> press(std::string combination) override;
    Task<void> paste(std::string text) override;
    Task<bool> windowShows(int pid, std::string text) override;

private:
    MainLoop& loop_;
    InputSynthesis& input_;
    MarkActions* marks_;
};

} // namespace twk
