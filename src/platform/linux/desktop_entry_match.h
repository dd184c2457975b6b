#pragma once

#include "platform/linux/desktop_entries.h"
#include "platform/linux/process_identity.h"

namespace twk {

/// The desktop entry a running process belongs to, or null. In order:
/// the entry GIO launched it from; an entry whose StartupWMClass is its
/// WM_CLASS class; an entry whose id equals its WM_CLASS class or instance,
/// ignoring case; an entry whose program has the process's program file
/// name and whose fixed arguments it was started with (so "mousepad" is the
/// editor, not the entry that runs "mousepad --preferences"). Within a step
/// the earlier entry wins.
const DesktopEntry* matchDesktopEntry(const std::vector<DesktopEntry>& entries, const ProcessIdentity& process);

} // namespace twk
