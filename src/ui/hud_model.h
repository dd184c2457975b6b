#pragma once

// What the HUD shows, derived from the application state: its size and
// place, which layout, and the texts of each part. The widget only paints
// what these functions return.

#include "app/app_state.h"

#include <string>
#include <vector>

namespace twk::ui {

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

inline constexpr int panelWidthCompact = 280;
inline constexpr int panelWidthMedium = 360;
inline constexpr int panelWidthLarge = 560;
/// Gap between the panel and the screen's top and right edges.
inline constexpr int hudMargin = 16;

enum class HudLayout { offHint, hero, singleLine };

HudLayout hudLayout(bool enabled, size_t stepCount);
Size hudSize(bool enabled, size_t stepCount, size_t recentCount);
/// Top-left corner (screen coordinates, y down) that puts the panel's
/// top-right corner `hudMargin` inside the available area's top-right corner.
Point hudOrigin(const Rect& available, Size size);

/// The line under the status label; empty hides it.
std::string hudSubtitle(const AppState& state);

struct SingleLine {
    std::string text;
    bool live = false;  // leading glyph and animated dots
    bool quiet = false; // dimmed text
};
SingleLine hudSingleLine(const AppState& state);

struct Hero {
    std::string label;      // "STEP i OF n"
    std::string stepText;   // the current step
    bool thinking = false;  // "Thinking" with dots instead of the live action
    std::string liveAction; // empty: no live line
};
/// Only meaningful while the plan is not empty.
Hero hudHero(const AppState& state);

struct StreamRow {
    std::string text;
    double opacity = 0;
};
/// The last three recent actions, oldest first, the newest brightest.
std::vector<StreamRow> hudActionStream(const std::vector<std::string>& recentActions);

/// Emphasis of one step pill.
enum class PillEmphasis { dim, highlighted, normal, red };
struct Pill {
    int number = 0; // 1-based
    StepState state = StepState::pending;
    PillEmphasis emphasis = PillEmphasis::dim;
};
std::vector<Pill> hudPills(const std::vector<TaskStep>& steps);

/// The animated dots' next count: 1, 2, 3, 1, ...
int nextDotCount(int count);

} // namespace twk::ui
