#include "ui/status_style.h"

namespace twk::ui {

using Kind = SessionStatus::Kind;

Tone statusTone(const SessionStatus& status)
{
    switch (status.kind) {
    case Kind::off: return Tone::gray;
    case Kind::connecting: return Tone::yellow;
    case Kind::listening:
    case Kind::acting: return Tone::accent;
    case Kind::error: return Tone::red;
    }
    return Tone::gray;
}

std::string hudStatusLabel(const SessionStatus& status)
{
    switch (status.kind) {
    case Kind::off: return "off";
    case Kind::connecting: return "connecting";
    case Kind::listening: return "listening";
    case Kind::acting: return "working";
    case Kind::error: return "error";
    }
    return "off";
}

TrayGlyph trayGlyph(const SessionStatus& status)
{
    switch (status.kind) {
    case Kind::off: return TrayGlyph::waveform;
    case Kind::connecting: return TrayGlyph::waveformBadge;
    case Kind::listening:
    case Kind::acting: return TrayGlyph::waveformCircle;
    case Kind::error: return TrayGlyph::waveformSlash;
    }
    return TrayGlyph::waveform;
}

bool orbBreathes(const SessionStatus& status)
{
    return status.kind == Kind::connecting || status.kind == Kind::listening || status.kind == Kind::acting;
}

} // namespace twk::ui
