#pragma once

#include "ui/status_style.h"

#include <QColor>
#include <QIcon>

namespace twk::ui {

/// The tray's status symbol, drawn in one colour like a symbolic icon:
/// the panel's text colour, so it reads on light and dark panels alike.
QIcon trayIcon(TrayGlyph glyph, const QColor& ink);

} // namespace twk::ui
