#pragma once

// How each session status looks: one colour role shared by the HUD's orb,
// border and label, the popover's status line and the tray icon's glyph.
// Qt-free, so the rules are tested without a display.

#include "app/app_types.h"

#include <string>

namespace twk::ui {

/// Colour roles; the widgets turn them into real colours.
enum class Tone { gray, yellow, accent, red };

Tone statusTone(const SessionStatus& status);

/// The HUD's label, before upper-casing ("working" while acting).
std::string hudStatusLabel(const SessionStatus& status);

/// The tray's glyph per status; listening and acting share the filled one.
enum class TrayGlyph { waveform, waveformBadge, waveformCircle, waveformSlash };

TrayGlyph trayGlyph(const SessionStatus& status);

/// Whether the orb breathes (a session is under way) or rests.
bool orbBreathes(const SessionStatus& status);

} // namespace twk::ui
