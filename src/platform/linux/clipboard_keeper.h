#pragma once

#include <string>

namespace twk {

/// On X the clipboard's text lives in the program that put it there. A
/// short-lived process that must leave text on the clipboard starts a
/// keeper: a copy of this program that serves the text in the background
/// until another program takes the clipboard, as clipboard tools do.

/// Starts the keeper for `text`, detached, its output to the null device.
/// False when it could not be started.
bool startClipboardKeeper(const std::string& text);

/// In the keeper process: whether this process was started as one.
bool isClipboardKeeper();
/// In the keeper process: reads the text from standard input, takes the
/// clipboard and serves it until another program takes it. Returns the exit
/// status.
int runClipboardKeeper();

} // namespace twk
