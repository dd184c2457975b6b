#pragma once

class QWidget;

namespace twk::ui {

/// Marks a not-yet-mapped top-level window with the EWMH skip-taskbar and
/// skip-pager states, so it appears in no taskbar and no window switcher.
void keepOutOfTaskbarAndSwitcher(QWidget& window);

/// Without a compositing manager, an X server shows a translucent window's
/// transparent corners as black: cut the window to its rounded outline
/// instead. With one, alpha does the job and the edge stays smooth.
void applyRoundedShapeWithoutCompositor(QWidget& window, double radius);

} // namespace twk::ui
